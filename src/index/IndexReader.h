#pragma once
// The reading side of the index: what is stored about a file, the files a
// query matches, the files that failed. It opens the index read-only and
// never creates one; in WAL mode it reads while an indexing run writes,
// seeing the batches committed when each call starts.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/Query.h"
#include "index/StoredFile.h"

namespace ossel {

class IndexDatabase;

class IndexReader {
public:
    explicit IndexReader(const std::string& path);
    ~IndexReader();
    IndexReader(const IndexReader&) = delete;
    IndexReader& operator=(const IndexReader&) = delete;

    // The stored file at a normalised path, with a clip's attributes.
    std::optional<StoredFile> lookup(const std::string& path);

    // `onlyIn`: normalised directories; when any are given, only files below one of them count.
    using MatchVisitor = std::function<void(std::string_view path, const Dictionary* attributes)>;
    // The clips the query matches, in byte order of their paths; `attributes`
    // is null unless asked for.
    void forEachMatch(const QueryNode& query, const std::vector<std::string>& onlyIn, bool withAttributes,
                      const MatchVisitor& visit);
    int64_t countMatches(const QueryNode& query, const std::vector<std::string>& onlyIn);

    using FailureVisitor = std::function<void(std::string_view path, std::string_view cause)>;
    void forEachFailure(const std::vector<std::string>& onlyIn, const FailureVisitor& visit);

private:
    std::unique_ptr<IndexDatabase> db_;
};

}  // namespace ossel
