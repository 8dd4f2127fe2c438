// Input files and the results they must give, run both in-process at many
// buffer sizes and through the built program.
#pragma once

#include <string>
#include <vector>

struct batch_case {
    std::string name;
    std::string input;
    std::string output;     // expected pelorand.out
    bool refused = false;   // token count out of range: exit 1, a message
};

const std::vector<batch_case>& batch_cases();
