#include "support/Module7.h"

#include "forms/stacking.h"

namespace Module7 {

long SetTopMost(QWidget& form, short mode) {
    if (mode != 0 && mode != 1) return 0;
    return forms::SetWindowTopMost(form, mode == 1) ? 1 : 0;
}

} // namespace Module7
