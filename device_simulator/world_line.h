// One line of a world's text split into its parts:
//     interface pad vid=04D8 product="Pad \"One\""   # a comment
// gives the word "interface", the subject "pad" and two settings.
#pragma once

#include <string>
#include <vector>

struct Setting {
    std::string key;
    std::string value; // a quoted value without its quotes, escapes still in place
    bool quoted = false;
};

struct WorldLine {
    std::string word; // empty for a blank or comment line
    std::string subject;
    std::vector<Setting> settings;
};

// False, with the reason in `error`, when the line cannot be split: a string without its
// closing quote, or a token after the subject that is not key=value.
bool SplitWorldLine(const std::string& text, WorldLine& line, std::string& error);
