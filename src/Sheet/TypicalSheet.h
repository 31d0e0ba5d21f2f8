// The bytes of examples/typical.sheet, which the build turns into a source
// file (cmake/EmbedText.cmake): the file stays their one home.
#ifndef LUMARIND_SHEET_TYPICALSHEET_H
#define LUMARIND_SHEET_TYPICALSHEET_H

#include <cstddef>

namespace Sheet {

extern const char kTypicalSheetBytes[];
extern const std::size_t kTypicalSheetSize;

}  // namespace Sheet

#endif  // LUMARIND_SHEET_TYPICALSHEET_H
