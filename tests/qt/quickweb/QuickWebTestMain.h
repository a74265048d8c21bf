// How the storage test talks to its second process (a run of this same program).
#pragma once

namespace lirra::test {

// Names the storage folder; when set, the program loads a page and answers a script instead.
inline constexpr char kStorageChildVariable[] = "LIRRA_QUICK_WEB_STORAGE_CHILD";
// Precedes the script's answer on the second process's output.
inline constexpr char kStorageChildAnswer[] = "answer=";

}  // namespace lirra::test
