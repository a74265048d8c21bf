// SPDX-License-Identifier: GPL-3.0-or-later
#include "notebook/TsvExport.h"

#include "notebook/AnkiNote.h"

namespace lirra::server::notebook {

const std::vector<std::string>& tsvColumns() {
    static const std::vector<std::string> columns = {"Key",         "Word",       "Sentence",
                                                     "Translation", "Definition", "Source"};
    return columns;
}

std::string notebookTsv(const std::vector<NotebookItem>& items) {
    std::string out = "#separator:tab\n#html:true\n#columns:";
    for (std::size_t i = 0; i < tsvColumns().size(); ++i) {
        if (i) out += '\t';
        out += tsvColumns()[i];
    }
    out += '\n';
    for (const auto& item : items) {
        const auto fields = ankiNoteFields(item);
        for (std::size_t i = 0; i < tsvColumns().size(); ++i) {
            // Fields are HTML without tabs or line breaks (htmlText turns them into a space and
            // <br>), and a leading quote is &quot;, so no cell needs quoting.
            if (i) out += '\t';
            out += fields[tsvColumns()[i]].get<std::string>();
        }
        out += '\n';
    }
    return out;
}

}  // namespace lirra::server::notebook
