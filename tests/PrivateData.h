// SPDX-License-Identifier: GPL-3.0-or-later
// The programs a test starts keep their journal and recordings in a folder
// of the test run's own, never in the user's: XDG_DATA_HOME points there
// for the whole run (the folder is removed at its end).
#pragma once

#ifndef _WIN32
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace testsupport {

class PrivateDataFolder {
public:
    PrivateDataFolder() {
        char name[] = "/tmp/m797-data-XXXXXX";
        if (mkdtemp(name)) {
            folder_ = name;
            setenv("XDG_DATA_HOME", name, 1);
        }
    }
    ~PrivateDataFolder() {
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    }
    PrivateDataFolder(const PrivateDataFolder&) = delete;
    PrivateDataFolder& operator=(const PrivateDataFolder&) = delete;

private:
    std::string folder_;
};

}  // namespace testsupport
#endif
