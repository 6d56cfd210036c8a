#include "user_locale.h"

namespace tessory {

// The stored forms are the classic US ones here: the native tool has no regional settings dialog.
const UserLocale& CurrentUserLocale() {
    static const UserLocale locale;
    return locale;
}

}  // namespace tessory
