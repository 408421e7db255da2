// The generator of the manual pages and bash completions, run at build time. Each page and
// script is written from the tables the programs themselves use (the command table and the
// manual of mvbridge, the verb table, device names and keys of mvbridge-lab), so that a
// command or verb added there appears here without further work.
#pragma once

#include <string>

// Roff text for one line of running text: backslashes, hyphens and a leading dot or
// apostrophe escaped.
std::string roff_escape(const std::string& text);

// `text` escaped, in bold (`font` "B") or italics ("I"), then back to roman. Texts are
// appended piece by piece throughout the generator: g++ 12 at -O3 takes a literal added to
// a temporary string for an overlapping copy (-Wrestrict).
std::string roff_font(const char* font, const std::string& text);

// Roff for text shown as printed: a no-fill block, tabs expanded to 8-column stops,
// carriage returns dropped, blank lines at its end trimmed.
std::string roff_verbatim(const std::string& text);

std::string mvbridge_man_page();
std::string lab_man_page();
std::string mvbridge_completion();
std::string lab_completion();
