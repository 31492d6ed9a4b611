#pragma once
// QmCatalogue: an interface-language catalogue, a Qt id-based translation file
// (<base>Res<code>.qm, compiled by lrelease -idbased from src/resources/translations/*.ts), read
// in standard C++; it answers the string table by "s<id>" and dialog texts by their ids.
//
// A catalogue changes what the installer stores (profile names take string 500, full names its
// templates), so it is trusted as a careful plug-in loader trusts a library: only a regular file
// that its owner — this user or root — alone may write, in a folder likewise; the file is read
// once from the descriptor that was checked. Its string 500 is used only when it is one letter.
#include "platform/StringTable.h"
#include "product/InterfaceLanguage.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

class QmCatalogue : public StringTable, public ResourceLibraryLoader {
public:
    // Loads `path`; true when it is a catalogue (the one loaded before is replaced).
    bool Load(const std::string& path) override;
    bool Loaded() const { return loaded_; }

    // Reads a catalogue's bytes: false (and nothing kept) when they are not one.
    bool Parse(const unsigned char* data, std::size_t size);

    std::optional<std::string> Find(int id) const override;
    std::optional<std::string> FindText(std::string_view id) const override;

private:
    std::map<std::string, std::string, std::less<>> texts_;  // id -> translation (UTF-8)
    bool loaded_ = false;
};

// The start-up step of every front end: chooses the catalogue by "KldoLangID" (beside the
// program, then under SharedRoot, then in the installed data folder, /usr/share/quillon) and, when one loads, installs `catalogue` as the process's
// string table. `baseName` empty: the program's file name. Answers the catalogue's path, empty
// when the built-in texts stay.
std::string InstallInterfaceCatalogue(QmCatalogue& catalogue, const std::string& baseName);

} // namespace quillon
