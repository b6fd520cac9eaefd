#include "import/sheet_size.h"

#include <cmath>

#include "core/number_text.h"

std::optional<int> SheetCountAnswer(const QString& answer) {
    if (answer.isEmpty()) {
        return std::nullopt;
    }
    // The default rounding mode sends halves to the even neighbour: 2.5 gives 2, 3.5 gives 4.
    const double count = std::nearbyint(LeadingNumber(answer));
    if (!(count >= 1 && count <= kMaxSheetLines)) {
        return std::nullopt;
    }
    return int(count);
}
