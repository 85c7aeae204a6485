#include "world_line.h"

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Whitespace separates tokens except inside quotes; '#' outside quotes ends the line.
bool Tokenize(const std::string& text, std::vector<Token>& tokens, std::string& error) {
    Token token;
    bool inToken = false;
    for (size_t i = 0; i < text.size() && text[i] != '#'; ++i) {
        if (IsSpace(text[i])) {
            if (inToken) {
                tokens.push_back(token);
                token = Token();
                inToken = false;
            }
            continue;
        }
        inToken = true;
        if (text[i] != '"') {
            token.text += text[i];
            continue;
        }
        size_t end = i + 1;
        while (end < text.size() && text[end] != '"') {
            end += text[end] == '\\' ? 2 : 1;
        }
        if (end >= text.size()) {
            error = "a string has no closing quote";
            return false;
        }
        token.text += text.substr(i + 1, end - i - 1);
        token.quoted = true;
        i = end;
    }
    if (inToken) {
        tokens.push_back(token);
    }
    return true;
}

} // namespace

bool SplitWorldLine(const std::string& text, WorldLine& line, std::string& error) {
    std::vector<Token> tokens;
    if (!Tokenize(text, tokens, error)) {
        return false;
    }
    line = WorldLine();
    size_t next = 0;
    if (next < tokens.size()) {
        line.word = tokens[next++].text;
    }
    if (next < tokens.size() && tokens[next].text.find('=') == std::string::npos) {
        line.subject = tokens[next++].text;
    }
    for (; next < tokens.size(); ++next) {
        const Token& token = tokens[next];
        const size_t equals = token.text.find('=');
        if (equals == std::string::npos || equals == 0) {
            error = "expected key=value, found '" + token.text + "'";
            return false;
        }
        line.settings.push_back(
            {token.text.substr(0, equals), token.text.substr(equals + 1), token.quoted});
    }
    return true;
}
