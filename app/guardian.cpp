// pomlock: the program the user starts. It needs no toolkit, so the screen is
// covered before the lock (pomlock-screen, beside it) has even been loaded.
#include "guardian/guardian.h"

int main() {
    return guardian::Run();
}
