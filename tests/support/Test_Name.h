#pragma once
// Readable names for the cases of a parameterised test.
#include <string>
#include <string_view>

#include <gtest/gtest.h>

// Any text as a test name: letters and digits are kept, every other run of
// characters becomes one '_' (none at either end); text without any gives "Empty".
inline std::string Test_Name(std::string_view text) {
    std::string name;
    bool gap = false;
    for (const char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            if (gap && !name.empty()) name += '_';
            name += c;
            gap = false;
        } else {
            gap = true;
        }
    }
    return name.empty() ? "Empty" : name;
}

// Name generator for INSTANTIATE_TEST_SUITE_P: the parameter's `name` (or `label`) member.
struct By_Name {
    template <class P>
    std::string operator()(const ::testing::TestParamInfo<P>& info) const {
        if constexpr (requires { info.param.name; })
            return Test_Name(info.param.name);
        else
            return Test_Name(info.param.label);
    }
};
