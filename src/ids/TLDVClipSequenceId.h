#pragma once
// Names one sequence of clips: a serial number from the counter shared with
// snapshot ids, the time of making and the making host. The three together
// are the value's identity.

#include <cstdint>
#include <string>

#include "foundation/Object.h"

namespace ossel {

class Decoder;
class TLIdGenerator;

// The counter that sequence and snapshot ids share.
inline constexpr const char* GENERATOR_KEY = "GravelmothDV.ClipSequenceId";

class TLDVClipSequenceId : public Object {
public:
    // initNext: the next serial number (advancing and storing the counter), the current time, this host.
    TLDVClipSequenceId();
    // initNextWithIndex:date: — this host's name, asked for on every call.
    TLDVClipSequenceId(int32_t index, double date);
    // initNextWithHostId:index:date: — the counter is not advanced.
    TLDVClipSequenceId(std::string host, int32_t index, double date);

    static Ref<TLDVClipSequenceId> nextId();
    // The last serial number handed out by the shared counter.
    static int32_t currentId();
    // Reset the shared counter, but only once this process has used it: a
    // process that made no id yet must not rewind the numbering of another run.
    static void resetId();
    static void resetId(uint32_t value);

    int32_t indexId() const { return indexId_; }
    double dateId() const { return dateId_; }
    const std::string& hostId() const { return hostId_; }
    // The cached stringId (and with it the hash) keeps the old host name.
    void setHostId(std::string host) { hostId_ = std::move(host); }

    virtual std::string prefix() const;
    // "<prefix>.<host>-<index>-<date, six decimals>", cached on first request.
    const std::string& stringId() const;
    // "<index>-<date, six decimals>".
    std::string shortStringId() const;
    // "<prefix>-<index>", cached on first request.
    const std::string& name() const;

    // One-sided: the other must be of this value's class or a subclass of it.
    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    std::string description() const override { return stringId(); }
    std::string className() const override { return "TLDVClipSequenceId"; }

    Ref<Object> copy() const override;
    void encodeWithCoder(Coder& coder) const override;
    static Ref<TLDVClipSequenceId> initWithCoder(Decoder& decoder);

    // Values read from an archive: the shared counter is not touched.
    struct Unarchived {};
    TLDVClipSequenceId(Unarchived, std::string host, int32_t index, double date);

protected:
    // Whether `other` is of this value's class (or a subclass of it).
    virtual bool isOfReceiversKind(const Object* other) const;
    // Reads the three fields written by encodeWithCoder into a value.
    static void readFields(Decoder& decoder, std::string* host, int32_t* index, double* date);
    // A value of class T (this class or the snapshot id) from its archived fields.
    template <class T>
    static Ref<T> unarchive(Decoder& decoder) {
        std::string host;
        int32_t index = 0;
        double date = 0;
        readFields(decoder, &host, &index, &date);
        return std::make_shared<T>(Unarchived{}, std::move(host), index, date);
    }
    // The shared generator, obtained on first need (or anew after a registry reset).
    static TLIdGenerator& generator();

private:
    int32_t indexId_;
    double dateId_;
    std::string hostId_;
    mutable std::string stringId_;
    mutable std::string name_;
};

}  // namespace ossel
