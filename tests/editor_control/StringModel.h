// What the random-edit checks against a plain string share: the bytes as rows pair them into
// characters, and the run of seeded episodes with the failing seeds reported.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Classes.h"

// A number from the environment, or the fallback when it is unset or empty.
inline long long EnvNumber(const char* name, long long fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::strtoll(v, nullptr, 10) : fallback;
}

inline AnsiString Ansi(const std::string& s) { return AnsiString(s.data(), int(s.size())); }

// Bytes of the character at t[i] as rows pair them: a lead byte takes the next byte unless that
// is a tab or a CR.
inline int CharBytes(const std::string& t, size_t i)
{
    if (IsSjisLead((unsigned char)t[i]) && i + 1 < t.size() && t[i + 1] != '\t' && t[i + 1] != '\r')
        return 2;
    return 1;
}

// Where the characters of a row start, and its end.
inline std::vector<int> Starts(const std::string& t)
{
    std::vector<int> out;
    for (size_t i = 0; i < t.size(); i += size_t(CharBytes(t, i)))
        out.push_back(int(i));
    out.push_back(int(t.size()));
    return out;
}

// Episodes of seeds first, first + 1, ... until `edits` edits are done. run(seed, done) adds the
// edits it made to done and gives an empty string, or how the episode left the model. The first
// five divergences fail the test, each with its seed.
template <class TRun> void RunEpisodes(const char* title, unsigned first, long long edits, TRun run)
{
    long long done = 0;
    int episodes = 0;
    std::vector<std::string> failures;
    for (unsigned seed = first; done < edits; ++seed, ++episodes)
    {
        std::string failure = run(seed, done);
        if (!failure.empty())
            failures.push_back("seed " + std::to_string(seed) + ", " + failure);
    }
    std::printf("%s: %d episodes, %lld edits, %zu diverged\n", title, episodes, done, failures.size());
    for (size_t i = 0; i < failures.size() && i < 5; ++i)
        ADD_FAILURE() << failures[i];
    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << episodes << " episodes diverged";
}
