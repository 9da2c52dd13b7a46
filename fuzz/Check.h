#pragma once
// Shared by the fuzz targets: a broken property ends the run as a crash does, so libFuzzer
// keeps the input that broke it.
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond, what)                                                                               \
    do {                                                                                                     \
        if (!(cond)) fuzzcheck::fail(#cond, what, __FILE__, __LINE__);                                       \
    } while (0)

namespace fuzzcheck {

[[noreturn]] inline void fail(const char* cond, const std::string& what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n%s\n", file, line, cond, what.c_str());
    std::abort();
}

// A folder of our own for the files targets write; each input's file is deleted after use.
inline std::string scratchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vantrel-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) fail("mkdtemp", pattern, __FILE__, __LINE__);
        return pattern;
    }();
    return folder;
}

} // namespace fuzzcheck
