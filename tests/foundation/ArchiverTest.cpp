#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "foundation/Archiver.h"
#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"

using namespace ossel;

namespace {

// A model-like class: fixed fields in order, a version, and an optional object.
class ArchiverTestPoint final : public Object {
public:
    ArchiverTestPoint(int32_t x, double y, bool flag, Ref<Object> label) : x(x), y(y), flag(flag), label(std::move(label)) {}
    std::string className() const override { return "ArchiverTestPoint"; }
    bool isEqual(const Object* other) const override {
        auto p = dynamic_cast<const ArchiverTestPoint*>(other);
        return p && p->x == x && p->y == y && p->flag == flag && objectsEqual(p->label, label);
    }
    void encodeWithCoder(Coder& coder) const override {
        coder.encodeInt32(x);
        coder.encodeDouble(y);
        coder.encodeBool(flag);
        coder.encodeObject(label);
    }
    static Ref<Object> decode(Decoder& d) {
        const int32_t x = d.decodeInt32();
        const double y = d.decodeDouble();
        const bool flag = d.decodeBool();
        auto label = d.decodeObject();
        return std::make_shared<ArchiverTestPoint>(x, y, flag, std::move(label));
    }
    int32_t x;
    double y;
    bool flag;
    Ref<Object> label;
};

// Writes more fields than the reader of "ArchiverTestShort" takes, as a newer class version would.
class ArchiverTestShort final : public Object {
public:
    std::string className() const override { return "ArchiverTestShort"; }
    void encodeWithCoder(Coder& coder) const override {
        coder.encodeInt32(1);
        coder.encodeObject(str("extra field"));
        coder.encodeDouble(2.5);
    }
};

// Reads more than was written.
class ArchiverTestGreedy final : public Object {
public:
    std::string className() const override { return "ArchiverTestGreedy"; }
    void encodeWithCoder(Coder& coder) const override { coder.encodeInt32(1); }
};

const bool registered = [] {
    registerArchivableClass("ArchiverTestPoint", 7, ArchiverTestPoint::decode);
    registerArchivableClass("ArchiverTestShort", 2, [](Decoder& d) -> Ref<Object> {
        return Number::withInt(d.decodeInt32());
    });
    registerArchivableClass("ArchiverTestGreedy", 0, [](Decoder& d) -> Ref<Object> {
        d.decodeInt32();
        d.decodeInt32();
        return Null::null();
    });
    return true;
}();

Ref<Object> roundTrip(const Ref<Object>& object, std::string* error = nullptr) {
    const auto bytes = Coder::archivedDataWithRootObject(object.get());
    return Decoder::unarchiveObjectWithData(bytes, error);
}

Ref<Object> sampleGraph() {
    auto inner = Dictionary::make(false);
    inner->setObject(Number::withBool(true), "flag");
    inner->setObject(Date::withTimeIntervalSinceReferenceDate(163938125.5), "date");
    auto dict = Dictionary::make(true);
    dict->setObject(str("z first"), "z");
    dict->setObject(str("a second"), "a");
    dict->setObject(inner, "inner");
    dict->setObject(Data::make({0, 1, 2, 255}), "data");
    dict->setObject(Null::null(), "null");
    auto point = std::make_shared<ArchiverTestPoint>(-5, 0.25, true, str("label"));
    return Array::make({str("caf\u00e9"), Number::withInt(-1), Number::withUnsigned(UINT64_MAX), Number::withFloat(1.5f),
                        Number::withDouble(-0.125), dict, point, Array::make({}, false)},
                       true);
}

}  // namespace

TEST(Archiver, PrimitiveItemsRoundTripAtTheirLimits) {
    const int32_t ints[] = {0, 1, -1, INT32_MAX, INT32_MIN};
    const uint32_t uints[] = {0, 1, UINT32_MAX, 0x80000000u};
    const double doubles[] = {0.0, -0.0, 1.0 / 3, 1e308, -4.9e-324, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    Coder coder;
    for (int32_t v : ints) coder.encodeInt32(v);
    for (uint32_t v : uints) coder.encodeUInt32(v);
    for (double v : doubles) coder.encodeDouble(v);
    for (int c = -128; c < 128; ++c) coder.encodeChar(static_cast<int8_t>(c));
    coder.encodeBool(true);
    coder.encodeBool(false);
    coder.encodeInt64(INT64_MIN);
    coder.encodeUInt64(UINT64_MAX);
    coder.encodeFloat(-3.25f);
    const std::vector<uint8_t> blob(300, 0xAB);
    coder.encodeBytes(blob);
    coder.encodeBytes({});
    const auto bytes = coder.data();

    Decoder d(bytes);
    for (int32_t v : ints) EXPECT_EQ(d.decodeInt32(), v);
    for (uint32_t v : uints) EXPECT_EQ(d.decodeUInt32(), v);
    for (double v : doubles) EXPECT_EQ(std::bit_cast<uint64_t>(d.decodeDouble()), std::bit_cast<uint64_t>(v));
    for (int c = -128; c < 128; ++c) EXPECT_EQ(d.decodeChar(), c);
    EXPECT_TRUE(d.decodeBool());
    EXPECT_FALSE(d.decodeBool());
    EXPECT_EQ(d.decodeInt64(), INT64_MIN);
    EXPECT_EQ(d.decodeUInt64(), UINT64_MAX);
    EXPECT_EQ(d.decodeFloat(), -3.25f);
    EXPECT_EQ(d.decodeBytes(), blob);
    EXPECT_TRUE(d.decodeBytes().empty());
    EXPECT_FALSE(d.failed()) << d.error();
    // Past the end: a clean failure, then zeros.
    EXPECT_EQ(d.decodeInt32(), 0);
    EXPECT_TRUE(d.failed());
    EXPECT_NE(d.error().find("at byte " + std::to_string(bytes.size())), std::string::npos) << d.error();
}

TEST(Archiver, FoundationObjectsKeepValueKindOrderAndMutability) {
    const auto graph = sampleGraph();
    std::string error;
    const auto back = roundTrip(graph, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(back->isEqual(graph.get()));

    const auto array = kindCast<Array>(back);
    ASSERT_TRUE(array);
    EXPECT_TRUE(array->isMutable());
    EXPECT_EQ(kindCast<String>(array->objectAtIndex(0))->utf8(), "caf\u00e9");
    const Number::Kind kinds[] = {Number::Kind::Int, Number::Kind::UInt, Number::Kind::Float, Number::Kind::Double};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(kindCast<Number>(array->objectAtIndex(i + 1))->kind(), kinds[i]);
    EXPECT_EQ(kindCast<Number>(array->objectAtIndex(2))->unsignedLongLongValue(), UINT64_MAX);

    const auto dict = kindCast<Dictionary>(array->objectAtIndex(5));
    ASSERT_TRUE(dict);
    EXPECT_TRUE(dict->isMutable());
    EXPECT_EQ(dict->allKeys(), (std::vector<std::string>{"z", "a", "inner", "data", "null"}));
    EXPECT_EQ(dict->objectForKey("null"), Null::null());
    const auto inner = dict->objectForKeyAs<Dictionary>("inner");
    ASSERT_TRUE(inner);
    EXPECT_FALSE(inner->isMutable());
    EXPECT_EQ(inner->objectForKeyAs<Number>("flag")->kind(), Number::Kind::Bool);
    EXPECT_EQ(inner->objectForKeyAs<Date>("date")->timeIntervalSinceReferenceDate(), 163938125.5);
    EXPECT_FALSE(kindCast<Array>(array->objectAtIndex(7))->isMutable());

    EXPECT_EQ(roundTrip(nullptr, &error), nullptr);
    EXPECT_TRUE(roundTrip(str(""))->isEqual(str("").get()));
    EXPECT_TRUE(roundTrip(str(std::string("a\0b", 3)))->isEqual(str(std::string("a\0b", 3)).get()));
}

TEST(Archiver, ObjectsWrittenTwiceComeBackShared) {
    const auto shared = Array::make({str("x")}, true);
    const auto twin = Array::make({str("x")}, true);
    const auto root = Array::make({shared, shared, twin});
    const auto back = kindCast<Array>(roundTrip(root));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->objectAtIndex(0), back->objectAtIndex(1));
    EXPECT_NE(back->objectAtIndex(0), back->objectAtIndex(2));
    EXPECT_TRUE(back->objectAtIndex(0)->isEqual(back->objectAtIndex(2).get()));
}

TEST(Archiver, RegisteredClassesAndTheirVersions) {
    ASSERT_TRUE(registered);
    EXPECT_EQ(classVersion("ArchiverTestPoint"), 7);
    EXPECT_EQ(classVersion("NoSuchClass"), 0);

    const auto point = std::make_shared<ArchiverTestPoint>(INT32_MIN, -1e-300, false, nullptr);
    Coder coder;
    coder.encodeObject(point);
    coder.encodeObject(point);
    coder.encodeInt32(99);
    const auto bytes = coder.data();
    Decoder d(bytes);
    EXPECT_EQ(d.versionForClassName("ArchiverTestPoint"), 7);
    EXPECT_EQ(d.versionForClassName("String"), -1);  // no string in this archive
    const auto first = d.decodeObjectOfKind<ArchiverTestPoint>();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isEqual(point.get()));
    EXPECT_EQ(d.decodeObject(), first);
    EXPECT_EQ(d.decodeInt32(), 99);
    EXPECT_FALSE(d.failed()) << d.error();

    // The version recorded is the writer's: a reader registered differently still sees it.
    registerArchivableClass("ArchiverTestPoint", 3, ArchiverTestPoint::decode);
    EXPECT_EQ(Decoder(bytes).versionForClassName("ArchiverTestPoint"), 7);
    registerArchivableClass("ArchiverTestPoint", 7, ArchiverTestPoint::decode);
}

TEST(Archiver, ReaderStepsOverUnreadFieldsAndFailsOnMissingOnes) {
    Coder coder;
    coder.encodeObject(std::make_shared<ArchiverTestShort>());
    coder.encodeInt32(42);
    coder.encodeObject(std::make_shared<ArchiverTestGreedy>());
    coder.encodeInt32(43);
    const auto bytes = coder.data();
    Decoder d(bytes);
    const auto shortOne = d.decodeObjectOfKind<Number>();
    ASSERT_TRUE(shortOne);
    EXPECT_EQ(shortOne->intValue(), 1);
    EXPECT_EQ(d.decodeInt32(), 42);
    EXPECT_FALSE(d.failed()) << d.error();
    EXPECT_EQ(d.decodeObject(), nullptr);  // the greedy reader runs past its object's end
    EXPECT_TRUE(d.failed());
    EXPECT_EQ(d.decodeInt32(), 0);
}

TEST(Archiver, WrongTagsAndUnknownClassesFailWithTheOffset) {
    Coder coder;
    coder.encodeDouble(1.0);
    coder.encodeInt32(5);
    const auto bytes = coder.data();
    Decoder d(bytes);
    const size_t firstItem = bytes.size() - 9 - 5;
    EXPECT_EQ(d.decodeInt32(), 0);
    EXPECT_TRUE(d.failed());
    EXPECT_EQ(d.error(), "expected item 'i' but found 'd' at byte " + std::to_string(firstItem));
    EXPECT_EQ(d.decodeDouble(), 0.0);  // every later read answers zero, even a matching one
    EXPECT_EQ(d.decodeObject(), nullptr);
    EXPECT_EQ(d.error(), "expected item 'i' but found 'd' at byte " + std::to_string(firstItem));

    class Unregistered final : public Object {
        std::string className() const override { return "UnregisteredThing"; }
    };
    std::string error;
    const auto root = Array::make({std::make_shared<Unregistered>()});
    EXPECT_EQ(roundTrip(root, &error), nullptr);
    EXPECT_NE(error.find("unknown class 'UnregisteredThing'"), std::string::npos) << error;

    Decoder own(bytes);
    own.decodeDouble();
    own.fail("inconsistent fields");
    EXPECT_TRUE(own.failed());
    EXPECT_EQ(own.decodeInt32(), 0);
    EXPECT_NE(own.error().find("inconsistent fields"), std::string::npos);
}

TEST(Archiver, EveryTruncationFailsCleanly) {
    const auto bytes = Coder::archivedDataWithRootObject(sampleGraph().get());
    ASSERT_FALSE(bytes.empty());
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::string error;
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
        EXPECT_EQ(Decoder::unarchiveObjectWithData(prefix, &error), nullptr) << n;
        EXPECT_NE(error.find("at byte"), std::string::npos) << n << ": " << error;
    }
}

TEST(Archiver, CorruptBytesNeverCrash) {
    const auto bytes = Coder::archivedDataWithRootObject(sampleGraph().get());
    int failures = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        for (uint8_t mask : {0x01, 0x80, 0xFF}) {
            auto corrupt = bytes;
            corrupt[i] ^= mask;
            std::string error;
            Decoder d(corrupt);
            const auto object = d.decodeObject();
            if (d.failed()) {
                ++failures;
                EXPECT_EQ(object, nullptr);
                EXPECT_FALSE(d.error().empty());
            }
        }
    }
    EXPECT_GT(failures, 0);

    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> noise(random() % 64);
        for (auto& b : noise) b = static_cast<uint8_t>(random());
        if (round % 2 && !noise.empty()) std::memcpy(noise.data(), "OSAR\x01", std::min<size_t>(5, noise.size()));
        Decoder d(noise);
        d.decodeObject();
        d.decodeInt32();
    }
}

TEST(Archiver, AbsurdLengthsAndCountsAreRefusedBeforeAllocating) {
    // A bytes item claiming 2^62 bytes, and an array claiming four billion elements.
    std::vector<uint8_t> hugeBytes = {'O', 'S', 'A', 'R', 1, 0, 'b', 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x40};
    Decoder d(hugeBytes);
    EXPECT_TRUE(d.decodeBytes().empty());
    EXPECT_TRUE(d.failed());

    std::vector<uint8_t> hugeArray = {'O', 'S', 'A', 'R', 1, 1, 5, 'A', 'r', 'r', 'a', 'y', 0, 0, 0, 0,
                                      '@', 0, 9, 0, 0, 0, 'c', 1, 'I', 0xFF, 0xFF, 0xFF, 0xFF};
    std::string error;
    EXPECT_EQ(Decoder::unarchiveObjectWithData(hugeArray, &error), nullptr);
    EXPECT_FALSE(error.empty());

    std::vector<uint8_t> hugeClassTable = {'O', 'S', 'A', 'R', 1, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
    EXPECT_TRUE(Decoder(hugeClassTable).failed());
}

TEST(Archiver, NestingIsBoundedOnBothSides) {
    // Built by hand, so that the reader meets depths the writer refuses to produce.
    auto nested = [](int depth) {
        std::vector<uint8_t> body;
        for (int level = 0; level < depth; ++level) {
            std::vector<uint8_t> outer = {'@', 0};
            const auto length = static_cast<uint32_t>(body.size() + 7);
            for (int i = 0; i < 4; ++i) outer.push_back(static_cast<uint8_t>(length >> (8 * i)));
            outer.insert(outer.end(), {'c', 1, 'I', static_cast<uint8_t>(level ? 1 : 0), 0, 0, 0});
            outer.insert(outer.end(), body.begin(), body.end());
            body = std::move(outer);
        }
        std::vector<uint8_t> archive = {'O', 'S', 'A', 'R', 1, 1, 5, 'A', 'r', 'r', 'a', 'y', 0, 0, 0, 0};
        archive.insert(archive.end(), body.begin(), body.end());
        return archive;
    };
    std::string error;
    EXPECT_NE(Decoder::unarchiveObjectWithData(nested(512), &error), nullptr) << error;
    EXPECT_EQ(Decoder::unarchiveObjectWithData(nested(513), &error), nullptr);
    EXPECT_NE(error.find("nested deeper than 512"), std::string::npos) << error;
    EXPECT_EQ(Decoder::unarchiveObjectWithData(nested(1000), &error), nullptr);

    auto deep = Array::make();
    for (int i = 0; i < 600; ++i) deep = Array::make({deep});
    Coder coder;
    coder.encodeObject(deep);
    EXPECT_TRUE(coder.failed());
    EXPECT_TRUE(Coder::archivedDataWithRootObject(deep.get()).empty());

    // An array holding itself cannot be archived; it is refused, not followed forever.
    auto cycle = Array::make();
    cycle->addObject(cycle);
    EXPECT_TRUE(Coder::archivedDataWithRootObject(cycle.get()).empty());
    cycle->removeAllObjects();
}
