// Engine-internal: builds screen lines the way the 80-column text window
// would show them (printing wraps at the last column, t_Cr starts a new line).
#pragma once

#include <string>
#include <vector>

#include "text.h"

struct cpm_LineBuilder {
    int Width = 0;                     // 0: no wrapping
    std::vector<std::string> Lines;
    std::u32string Line;

    explicit cpm_LineBuilder(int width = 0) : Width(width) {}
    void Print(std::string_view text) {
        for (char32_t c : t_Decode(text)) {
            Line.push_back(c);
            if (Width > 0 && int(Line.size()) >= Width) Cr();
        }
    }
    void Cr() {
        Lines.push_back(t_Encode(Line));
        Line.clear();
    }
    int Hpos() const { return int(Line.size()) + 1; }
    // Moves to column `column` of the current line; text after it is overwritten later.
    void Htab(int column) { Line.resize(size_t(column > 1 ? column - 1 : 0), U' '); }
    // The lines, the unfinished last one included when it holds anything.
    std::vector<std::string> Finish() {
        if (!Line.empty()) Cr();
        return std::move(Lines);
    }
};
