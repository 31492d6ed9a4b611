#pragma once
// The interface language: which translation catalogue the installer speaks, chosen once at
// start-up from the product's "KldoLangID" (a Windows language identifier). A catalogue is named
// <base>Res<code>.qm; it is looked for beside the installer, then in SharedRoot/<language id>/.
// Every failure leaves the built-in Russian texts in use.
#include <cstdint>
#include <string>

namespace quillon {

// "KldoLangID" of HKLM\SOFTWARE\Velmar Soft\KLDO9; 0 when the key or value cannot be read.
std::uint32_t GetInterfaceLanguageId();

// The catalogue code of a language by its primary language (the low 10 bits): "DEU", "ENU",
// "ESN", "FRA", "PTB", "RUS", "UKR", "LTH"; empty for any other.
std::string LanguageCode(std::uint32_t languageId);

// base + "Res" + code + ".qm" for the current language; empty when the language is 0 or has no
// code.
std::string GetResourceLibraryName(const std::string& baseName);

// `folder` joined with the catalogue name; with no folder, "SharedRoot" (HKLM\SOFTWARE\Velmar
// Soft\KLDO9\Folders) joined with the language id in decimal and the name. Empty when the name
// is empty, or (with no folder) "SharedRoot" cannot be read or is empty, or the language is 0.
std::string FindResourceLibrary(const std::string& baseName, const std::string& folder);

// Port: makes a catalogue file the source of every text. Implemented with Qt's translator
// (platform/qt); tests use a recording double.
class ResourceLibraryLoader {
public:
    virtual ~ResourceLibraryLoader() = default;
    // True when `path` was loaded and is now in use.
    virtual bool Load(const std::string& path) = 0;
};

// Chooses and loads the catalogue: beside the installer (`moduleFile`'s folder), then under
// SharedRoot. `baseName` empty: `moduleFile`'s name without its extension. Answers the path of
// the catalogue in use, empty when the built-in texts stay.
std::string LoadInterfaceResources(const std::string& baseName, const std::string& moduleFile,
                                   ResourceLibraryLoader& loader);

} // namespace quillon
