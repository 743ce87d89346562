#pragma once
// The exit statuses of the suite's programs, so that scripts can tell apart
// "some inputs failed" from "nothing could be done" and "the output is lost".

namespace ossel {

inline constexpr int kExitSuccess = 0;
// Some inputs could not be processed; every other input was.
inline constexpr int kExitSomeFailed = 1;
// Bad usage, or nothing could be done at all (the importer bundle does not load).
inline constexpr int kExitUsage = 2;
// The output could not be written (a full disk, a closed pipe): what was written
// is incomplete, which matters more than any single failed input.
inline constexpr int kExitOutputFailed = 3;

}  // namespace ossel
