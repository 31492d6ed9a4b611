#pragma once
// A distribution folder for loader tests: description files compiled from the text form.
#include "descriptions/ProfileText.h"
#include "descriptions/ProfileWriter.h"
#include "descriptions/XCryptedProfile2.h"
#include "testsupport/TempDir.h"

#include <gtest/gtest.h>
#include <string>

namespace quillon::test {

inline void CompileProfile(const std::string& text, const std::string& path) {
    CXCryptedProfile2 store;
    ProfileTextError error;
    ASSERT_TRUE(ParseProfileText(text, store, error)) << error.line << ": " << error.what;
    ASSERT_TRUE(SaveProfileFile(store, path));
}

struct Distribution {
    TempDir dir;
    std::string setupIni() const { return dir / "SETUP.INI"; }
    std::string raviriInf() const { return dir / "RAVIRI.INF"; }
    std::string folder() const { return dir.Path() + "/"; }
    void Write(const std::string& raviri, const std::string& setup) {
        CompileProfile(raviri, raviriInf());
        CompileProfile(setup, setupIni());
    }
};

} // namespace quillon::test
