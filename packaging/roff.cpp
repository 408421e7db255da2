#include "packaging/docs.h"

std::string roff_escape(const std::string& text) {
    std::string out;
    if (!text.empty() && (text[0] == '.' || text[0] == '\'')) out += "\\&";
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    return out;
}

std::string roff_font(const char* font, const std::string& text) {
    std::string out = "\\f";
    out += font;
    out += roff_escape(text);
    out += "\\fR";
    return out;
}

std::string roff_verbatim(const std::string& text) {
    std::string lines;
    std::string line;
    size_t column = 0;
    const auto end_line = [&] {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines += roff_escape(line) + "\n";
        line.clear();
        column = 0;
    };
    for (const char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            end_line();
        } else if (c == '\t') {
            do {
                line += ' ';
                ++column;
            } while (column % 8 != 0);
        } else {
            line += c;
            ++column;
        }
    }
    if (!line.empty()) end_line();
    while (lines.size() >= 2 && lines.compare(lines.size() - 2, 2, "\n\n") == 0) lines.pop_back();
    while (lines.size() >= 1 && lines == "\n") lines.clear();
    return ".nf\n" + lines + ".fi\n";
}
