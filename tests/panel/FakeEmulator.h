#pragma once

#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

// A directory with the fake emulator in it under the emulator's file name, as the panel
// expects it beside itself.
class FakeEmulatorDir {
public:
    FakeEmulatorDir()
    {
        std::filesystem::create_symlink(KVL_FAKE_EMULATOR, m_dir.Path() / "vesgen");
    }
    const std::filesystem::path& Path() const { return m_dir.Path(); }

private:
    testsupport::TempDir m_dir;
};
