#include <gtest/gtest.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "foundation/RegularFile.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

class RegularFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ossel-regular-file-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

}  // namespace

TEST_F(RegularFileTest, OnlyRegularFilesWithinTheLimitAreReadAndNothingBlocks) {
    std::ofstream(path("clip.plist")) << "0123456789";
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path("socket").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("/dev/zero", path("zero"));
    fs::create_symlink("/dev/urandom", path("urandom"));
    fs::create_symlink(path("nowhere"), path("dangling"));
    fs::create_symlink(path("loop-b"), path("loop-a"));
    fs::create_symlink(path("loop-a"), path("loop-b"));
    fs::create_symlink(path("fifo"), path("link-to-fifo"));
    fs::create_directory(path("folder"));

    struct Case {
        std::string name;
        std::optional<FileErrorKind> kind;  // nothing: read
        std::string message;
    };
    const Case cases[] = {
        {"clip.plist", std::nullopt, ""},
        {"missing", FileErrorKind::notFound, "No such file or directory"},
        {"dangling", FileErrorKind::notFound, "No such file or directory"},
        {"loop-a", FileErrorKind::linkLoop, "Too many levels of symbolic links"},
        {"folder", FileErrorKind::notRegularFile, "is a directory, not a regular file"},
        {"fifo", FileErrorKind::notRegularFile, "is a FIFO, not a regular file"},
        {"link-to-fifo", FileErrorKind::notRegularFile, "is a FIFO, not a regular file"},
        {"socket", FileErrorKind::notRegularFile, "is a socket, not a regular file"},
        {"zero", FileErrorKind::notRegularFile, "is a character device, not a regular file"},
        {"urandom", FileErrorKind::notRegularFile, "is a character device, not a regular file"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes;
        FileError error;
        FileIdentity identity;
        const auto start = std::chrono::steady_clock::now();
        const bool read = readRegularFile(path(c.name), 1 << 20, bytes, &error, &identity);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.name;
        EXPECT_EQ(read, !c.kind) << c.name;
        if (c.kind) {
            EXPECT_EQ(error.kind, *c.kind) << c.name;
            EXPECT_EQ(error.message, c.message) << c.name;
        } else {
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
            EXPECT_EQ(identity, fileIdentityAtPath(path(c.name)));
        }
    }
    ::close(sock);
}

TEST_F(RegularFileTest, SizeLimitAndIdentityFollowTheFile) {
    std::ofstream(path("big")) << std::string(4096, 'x');
    std::vector<uint8_t> bytes;
    FileError error;
    EXPECT_TRUE(readRegularFile(path("big"), 4096, bytes, &error));
    EXPECT_FALSE(readRegularFile(path("big"), 4095, bytes, &error));
    EXPECT_EQ(error.kind, FileErrorKind::tooLarge);
    EXPECT_EQ(error.message, "is 4096 bytes, larger than the limit of 4095 bytes");

    // A replacement by rename is a new identity even with the same size.
    const auto before = fileIdentityAtPath(path("big"));
    std::ofstream(path("next")) << std::string(4096, 'y');
    fs::rename(path("next"), path("big"));
    EXPECT_NE(fileIdentityAtPath(path("big")), before);
    EXPECT_EQ(fileIdentityAtPath(path("absent")), std::nullopt);
    const timespec farOff[2] = {{0, UTIME_OMIT}, {int64_t(14200000000), 0}};  // the year 2420
    ASSERT_EQ(::utimensat(AT_FDCWD, path("big").c_str(), farOff, 0), 0);
    EXPECT_NE(fileIdentityAtPath(path("big")), before);

    if (::geteuid() != 0) {  // root reads anything
        ::chmod(path("big").c_str(), 0);
        EXPECT_FALSE(readRegularFile(path("big"), 1 << 20, bytes, &error));
        EXPECT_EQ(error.kind, FileErrorKind::permissionDenied);
    }
}

TEST(RegularFileLimits, EnvironmentSetsTheLimitsInMiB) {
    ::setenv("OSSEL_MAX_FILE_MIB", "3", 1);
    ::setenv("OSSEL_MAX_CATALOG_MIB", "not a number", 1);
    EXPECT_EQ(fileSizeLimit(), 3u << 20);
    EXPECT_EQ(catalogSizeLimit(), 512u << 20);
    ::unsetenv("OSSEL_MAX_FILE_MIB");
    ::unsetenv("OSSEL_MAX_CATALOG_MIB");
    EXPECT_EQ(fileSizeLimit(), 64u << 20);
}
