// timecode-frames: the frame count of a drop-frame timecode text, counted in
// the NTSC (525/60) system: "01:00:00;00" is frame 107892, since an hour of
// drop-frame labels skips 108 of them.

#include <cstdio>

#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "dv/DVTimeCodeFormatter.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: timecode-frames HH:MM:SS;FF\n");
        return 2;
    }
    ossel::Ref<ossel::Object> value;
    std::string error;
    if (!ossel::DVTimeCodeFormatter::defaultFormatter()->getObjectValue(&value, argv[1], &error)) {
        std::fprintf(stderr, "timecode-frames: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const auto timeCode = ossel::kindCast<ossel::DVTimeCode>(value);
    if (!timeCode || !timeCode->valid()) {
        std::fprintf(stderr, "timecode-frames: %s: not a timecode of a day\n", argv[1]);
        return 1;
    }
    std::printf("%u\n", timeCode->asFrames(ossel::DVSystem::system525_60()));
    return 0;
}
