#include "platform/gui/AppShell.h"

namespace orvik {

namespace {
AppShell* installed = nullptr;
} // namespace

AppShell& AppShell::Current() {
    static HeadlessAppShell headless;
    return installed ? *installed : headless;
}

void AppShell::Install(AppShell* shell) {
    installed = shell;
}

} // namespace orvik
