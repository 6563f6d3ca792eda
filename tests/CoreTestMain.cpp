// The core tests' main. Beyond GoogleTest's own, it checks that every test
// that starts a thread belongs to a suite labelled "threads" in
// tests/CMakeLists.txt, so the ThreadSanitizer pass (ctest -L threads) leaves
// none out: such a test makes the run fail with the suite's name.
#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tolmar::testing {
#ifdef TOLMAR_THREADED_SUITES
extern long threadsStarted; // tests/ThreadCount.cpp
long threadsStartedSoFar() { return __atomic_load_n(&threadsStarted, __ATOMIC_RELAXED); }
#endif

namespace {

// GoogleTest's filter patterns: '*' any run of characters, '?' any one.
bool globMatches(const char *pattern, const char *name)
{
    if (*pattern == '\0')
        return *name == '\0';
    if (*pattern == '*')
        return globMatches(pattern + 1, name) || (*name != '\0' && globMatches(pattern, name + 1));
    return *name != '\0' && (*pattern == '?' || *pattern == *name) && globMatches(pattern + 1, name + 1);
}

#ifdef TOLMAR_THREADED_SUITES
class ThreadedSuiteCheck : public ::testing::EmptyTestEventListener {
public:
    explicit ThreadedSuiteCheck(const std::string &filter)
    {
        std::istringstream in(filter);
        for (std::string pattern; std::getline(in, pattern, ':');)
            m_patterns.push_back(pattern);
    }

    void OnTestStart(const ::testing::TestInfo &) override { m_before = threadsStartedSoFar(); }

    void OnTestEnd(const ::testing::TestInfo &test) override
    {
        if (threadsStartedSoFar() == m_before)
            return;
        const std::string name = std::string(test.test_suite_name()) + "." + test.name();
        for (const std::string &pattern : m_patterns)
            if (globMatches(pattern.c_str(), name.c_str()))
                return;
        m_unlabelled.insert(test.test_suite_name());
    }

    const std::set<std::string> &unlabelled() const { return m_unlabelled; }

private:
    std::vector<std::string> m_patterns;
    long m_before = 0;
    std::set<std::string> m_unlabelled;
};
#endif

} // namespace
} // namespace tolmar::testing

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef TOLMAR_THREADED_SUITES
    auto *check = new tolmar::testing::ThreadedSuiteCheck(TOLMAR_THREADED_SUITES);
    ::testing::UnitTest::GetInstance()->listeners().Append(check); // GoogleTest owns it
#endif
    const int result = RUN_ALL_TESTS();
#ifdef TOLMAR_THREADED_SUITES
    if (!check->unlabelled().empty()) {
        for (const std::string &suite : check->unlabelled())
            std::cerr << "suite " << suite << " starts threads but is not in TOLMAR_THREADED_SUITES "
                      << "(tests/CMakeLists.txt), so ThreadSanitizer never runs it\n";
        return 1;
    }
#endif
    return result;
}
