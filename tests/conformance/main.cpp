// Runs the conformance suite against this build's backend. Every case skipped under Wine is
// named with its reason, and the last line counts the cases as "N passed, N failed, N skipped".
#define DOCTEST_CONFIG_IMPLEMENT
#include "Conformance.h"

#include <cstdio>

namespace {

int skipped = 0;
unsigned passingFilters = 0;
unsigned failed = 0;

// Reports each case a mark skipped (not those a command-line filter left out).
struct SkipReporter : doctest::IReporter {
    explicit SkipReporter(const doctest::ContextOptions&) {}
    void report_query(const doctest::QueryData&) override {}
    void test_run_start() override {}
    void test_run_end(const doctest::TestRunStats& stats) override {
        passingFilters = stats.numTestCasesPassingFilters;
        failed = stats.numTestCasesFailed;
    }
    void test_case_start(const doctest::TestCaseData&) override {}
    void test_case_reenter(const doctest::TestCaseData&) override {}
    void test_case_end(const doctest::CurrentTestCaseStats&) override {}
    void test_case_exception(const doctest::TestCaseException&) override {}
    void subcase_start(const doctest::SubcaseSignature&) override {}
    void subcase_end() override {}
    void log_assert(const doctest::AssertData&) override {}
    void log_message(const doctest::MessageData&) override {}
    void test_case_skipped(const doctest::TestCaseData& tc) override {
        if (!tc.m_skip || !tc.m_description) return;
        ++skipped;
        std::printf("skipped under Wine: %s -- %s\n", tc.m_name, tc.m_description);
    }
};

} // namespace

REGISTER_LISTENER("wine-skips", 1, SkipReporter);

int main(int argc, char** argv) {
    std::printf("conformance suite on the %s\n", conformance::backendName());
    doctest::Context context(argc, argv);
    const int code = context.run();
    if (context.shouldExit()) return code;
    std::printf("conformance: %u passed, %u failed, %d skipped\n", passingFilters - failed, failed, skipped);
    return code;
}
