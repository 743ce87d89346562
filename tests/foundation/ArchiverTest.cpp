#include <gtest/gtest.h>

#include <cmath>

#include <bit>
#include <limits>

#include "foundation/Archiver.h"
#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "support/TestEnvironment.h"

using namespace ossel;

namespace {

// A model-like class: fixed fields in order, a version, and an optional object.
class ArchiverTestPoint final : public Object {
public:
    ArchiverTestPoint(int32_t x, double y, Ref<Object> label) : x(x), y(y), label(std::move(label)) {}
    std::string className() const override { return "ArchiverTestPoint"; }
    bool isEqual(const Object* other) const override {
        auto p = dynamic_cast<const ArchiverTestPoint*>(other);
        return p && p->x == x && p->y == y && objectsEqual(p->label, label);
    }
    void encodeWithCoder(Coder& coder) const override {
        coder.encodeInt32(x);
        coder.encodeDouble(y);
        coder.encodeObject(label);
    }
    static Ref<Object> decode(Decoder& d) {
        const int32_t x = d.decodeInt32();
        const double y = d.decodeDouble();
        return std::make_shared<ArchiverTestPoint>(x, y, d.decodeObject());
    }
    int32_t x;
    double y;
    Ref<Object> label;
};

// Writes three fields; its registered reader takes one (as for a newer class version)
// or, under the other name, asks for one more than was written.
class ArchiverTestFields final : public Object {
public:
    explicit ArchiverTestFields(std::string name) : name_(std::move(name)) {}
    std::string className() const override { return name_; }
    void encodeWithCoder(Coder& coder) const override {
        coder.encodeInt32(1);
        coder.encodeObject(str("extra field"));
        coder.encodeDouble(2.5);
    }
    std::string name_;
};

const bool registered = [] {
    registerArchivableClass("ArchiverTestPoint", 7, ArchiverTestPoint::decode);
    registerArchivableClass("ArchiverTestShort", 2, [](Decoder& d) -> Ref<Object> { return Number::withInt(d.decodeInt32()); });
    registerArchivableClass("ArchiverTestGreedy", 0, [](Decoder& d) -> Ref<Object> {
        d.decodeInt32(), d.decodeObject(), d.decodeDouble(), d.decodeInt32();
        return Null::null();
    });
    return true;
}();

Ref<Object> roundTrip(const Ref<Object>& object, std::string* error = nullptr) {
    return Decoder::unarchiveObjectWithData(Coder::archivedDataWithRootObject(object.get()), error);
}

Ref<Object> sampleGraph() {
    auto inner = Dictionary::make(false);
    inner->setObject(Number::withBool(true), "flag");
    inner->setObject(Date::withTimeIntervalSinceReferenceDate(163938125.5), "date");
    const auto dict = ossel::testing::dictionaryOf(
        {{"z", str("z first")}, {"inner", inner}, {"data", Data::make({0, 1, 2, 255})}, {"null", Null::null()}});
    return Array::make({str(std::string("caf\u00e9\0", 6)), Number::withInt(-1), Number::withUnsigned(UINT64_MAX),
                        Number::withFloat(1.5f), Number::withDouble(-0.125), dict,
                        std::make_shared<ArchiverTestPoint>(-5, 0.25, str("label")), Array::make({}, false)},
                       true);
}

}  // namespace

TEST(Archiver, PrimitiveItemsRoundTripAtTheirLimitsAndReadingPastTheEndFails) {
    const double doubles[] = {-0.0, 1.0 / 3, -4.9e-324, std::numeric_limits<double>::infinity(), std::nan("")};
    const std::vector<uint8_t> blob(300, 0xAB);
    Coder coder;
    coder.encodeInt32(INT32_MIN), coder.encodeInt32(INT32_MAX), coder.encodeUInt32(UINT32_MAX);
    for (double v : doubles) coder.encodeDouble(v);
    coder.encodeChar(-128), coder.encodeChar(127), coder.encodeBool(true), coder.encodeInt64(INT64_MIN);
    coder.encodeUInt64(UINT64_MAX), coder.encodeFloat(-3.25f), coder.encodeBytes(blob), coder.encodeBytes({});
    const auto bytes = coder.data();

    Decoder d(bytes);
    EXPECT_EQ(d.decodeInt32(), INT32_MIN);
    EXPECT_EQ(d.decodeInt32(), INT32_MAX);
    EXPECT_EQ(d.decodeUInt32(), UINT32_MAX);
    for (double v : doubles) EXPECT_EQ(std::bit_cast<uint64_t>(d.decodeDouble()), std::bit_cast<uint64_t>(v));
    EXPECT_EQ(d.decodeChar(), -128);
    EXPECT_EQ(d.decodeChar(), 127);
    EXPECT_TRUE(d.decodeBool());
    EXPECT_EQ(d.decodeInt64(), INT64_MIN);
    EXPECT_EQ(d.decodeUInt64(), UINT64_MAX);
    EXPECT_EQ(d.decodeFloat(), -3.25f);
    EXPECT_EQ(d.decodeBytes(), blob);
    EXPECT_TRUE(d.decodeBytes().empty());
    EXPECT_FALSE(d.failed()) << d.error();
    EXPECT_EQ(d.decodeInt32(), 0);  // past the end: a clean failure, then zeros
    EXPECT_TRUE(d.failed());
    EXPECT_NE(d.error().find("at byte " + std::to_string(bytes.size())), std::string::npos) << d.error();
}

TEST(Archiver, ObjectsKeepValueKindOrderMutabilityAndSharing) {
    const auto graph = sampleGraph();
    std::string error;
    const auto array = kindCast<Array>(roundTrip(graph, &error));
    ASSERT_TRUE(array) << error;
    EXPECT_TRUE(array->isEqual(graph.get()));
    EXPECT_TRUE(array->isMutable());
    const Number::Kind kinds[] = {Number::Kind::Int, Number::Kind::UInt, Number::Kind::Float, Number::Kind::Double};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(kindCast<Number>(array->objectAtIndex(i + 1))->kind(), kinds[i]);
    const auto dict = kindCast<Dictionary>(array->objectAtIndex(5));
    EXPECT_TRUE(dict->isMutable());
    EXPECT_EQ(dict->allKeys(), (std::vector<std::string>{"z", "inner", "data", "null"}));
    EXPECT_EQ(dict->objectForKey("null"), Null::null());
    EXPECT_FALSE(dict->objectForKeyAs<Dictionary>("inner")->isMutable());
    EXPECT_FALSE(kindCast<Array>(array->objectAtIndex(7))->isMutable());
    EXPECT_EQ(roundTrip(nullptr, &error), nullptr);

    // An object written twice comes back as one; an equal twin stays apart, in small archives and large ones.
    for (const size_t before : {0, 40}) {
        const auto items = Array::make();
        for (size_t i = 0; i < before; ++i) items->addObject(str(std::to_string(i)));
        const auto shared = Array::make({str("x")}, true);
        for (const auto& item : {shared, shared, Array::make({str("x")}, true)}) items->addObject(item);
        const auto back = kindCast<Array>(roundTrip(items));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->objectAtIndex(before), back->objectAtIndex(before + 1));
        EXPECT_NE(back->objectAtIndex(before), back->objectAtIndex(before + 2));
    }
}

TEST(Archiver, ClassVersionsAreTheWritersAndReadersStepOverUnreadFields) {
    ASSERT_TRUE(registered);
    EXPECT_EQ(classVersion("NoSuchClass"), 0);
    const auto point = std::make_shared<ArchiverTestPoint>(INT32_MIN, -1e-300, nullptr);
    Coder coder;
    coder.encodeObject(point);
    coder.encodeObject(std::make_shared<ArchiverTestFields>("ArchiverTestShort"));
    coder.encodeInt32(42);
    coder.encodeObject(std::make_shared<ArchiverTestFields>("ArchiverTestGreedy"));
    const auto bytes = coder.data();
    // The version recorded is the writer's: a reader registered differently still sees it.
    registerArchivableClass("ArchiverTestPoint", 3, ArchiverTestPoint::decode);
    Decoder d(bytes);
    EXPECT_EQ(d.versionForClassName("ArchiverTestPoint"), 7);
    EXPECT_EQ(d.versionForClassName("Dictionary"), -1);  // no dictionary in this archive
    registerArchivableClass("ArchiverTestPoint", 7, ArchiverTestPoint::decode);
    const auto first = d.decodeObjectOfKind<ArchiverTestPoint>();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isEqual(point.get()));
    EXPECT_EQ(d.decodeObjectOfKind<Number>()->intValue(), 1);
    EXPECT_EQ(d.decodeInt32(), 42);
    EXPECT_FALSE(d.failed()) << d.error();
    EXPECT_EQ(d.decodeObject(), nullptr);  // the greedy reader runs past its object's end
    EXPECT_TRUE(d.failed());
}

TEST(Archiver, WrongTagsAndUnknownClassesFailWithTheOffset) {
    Coder coder;
    coder.encodeDouble(1.0);
    coder.encodeInt32(5);
    const auto bytes = coder.data();
    Decoder d(bytes);
    EXPECT_EQ(d.decodeInt32(), 0);
    const std::string expected = "expected item 'i' but found 'd' at byte " + std::to_string(bytes.size() - 9 - 5);
    EXPECT_EQ(d.error(), expected);
    EXPECT_EQ(d.decodeDouble(), 0.0);  // every later read answers zero, even a matching one
    EXPECT_EQ(d.error(), expected);

    class Unregistered final : public Object {
        std::string className() const override { return "UnregisteredThing"; }
    };
    std::string error;
    EXPECT_EQ(roundTrip(Array::make({std::make_shared<Unregistered>()}), &error), nullptr);
    EXPECT_NE(error.find("unknown class 'UnregisteredThing'"), std::string::npos) << error;
}

// Every cut of an archive fails with the offset; corrupted bytes are the archive fuzzer's.
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

TEST(Archiver, AbsurdLengthsCountsAndDepthsAreRefused) {
    // A bytes item claiming 2^62 bytes, an array claiming four billion elements, a huge class table.
    const std::vector<uint8_t> hugeBytes = {'O', 'S', 'A', 'R', 1, 0, 'b', 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x40};
    Decoder d(hugeBytes);
    EXPECT_TRUE(d.decodeBytes().empty());
    EXPECT_TRUE(d.failed());
    const std::vector<uint8_t> arrayHeader = {'O', 'S', 'A', 'R', 1, 1, 5, 'A', 'r', 'r', 'a', 'y', 0, 0, 0, 0};
    auto hugeArray = arrayHeader;
    hugeArray.insert(hugeArray.end(), {'@', 0, 9, 0, 0, 0, 'c', 1, 'I', 0xFF, 0xFF, 0xFF, 0xFF});
    std::string error;
    EXPECT_EQ(Decoder::unarchiveObjectWithData(hugeArray, &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(Decoder(std::vector<uint8_t>{'O', 'S', 'A', 'R', 1, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}).failed());
    // An array whose one element refers back to the array itself, before its reading ended.
    auto selfReference = arrayHeader;
    selfReference.insert(selfReference.end(), {'@', 0, 9, 0, 0, 0, 'c', 1, 'I', 1, 0, 0, 0, 'r', 0});
    EXPECT_EQ(Decoder::unarchiveObjectWithData(selfReference, &error), nullptr);
    EXPECT_NE(error.find("which was not read before"), std::string::npos) << error;

    // Arrays nested by hand, so that the reader meets depths the writer refuses to produce.
    auto nested = [&](int depth) {
        std::vector<uint8_t> body;
        for (int level = 0; level < depth; ++level) {
            const auto length = static_cast<uint32_t>(body.size() + 7);
            std::vector<uint8_t> outer = {'@', 0, uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), 0,
                                          'c', 1, 'I', uint8_t(level ? 1 : 0), 0, 0, 0};
            outer.insert(outer.end(), body.begin(), body.end());
            body = std::move(outer);
        }
        auto archive = arrayHeader;
        archive.insert(archive.end(), body.begin(), body.end());
        return archive;
    };
    EXPECT_NE(Decoder::unarchiveObjectWithData(nested(512), &error), nullptr) << error;
    EXPECT_EQ(Decoder::unarchiveObjectWithData(nested(513), &error), nullptr);
    EXPECT_NE(error.find("nested deeper than 512"), std::string::npos) << error;

    auto deep = Array::make();
    for (int i = 0; i < 600; ++i) deep = Array::make({deep});
    EXPECT_TRUE(Coder::archivedDataWithRootObject(deep.get()).empty());
    // An array holding itself is refused, not followed forever.
    auto cycle = Array::make();
    cycle->addObject(cycle);
    EXPECT_TRUE(Coder::archivedDataWithRootObject(cycle.get()).empty());
    cycle->removeAllObjects();
}
