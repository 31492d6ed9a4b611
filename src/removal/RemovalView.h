#pragma once
// Port: the view of the collection removal page (dialog 175). Implemented by the Qt page; the
// headless removal (RemoveCollections) has its own list-backed view; tests use a recording double.
#include "product/KernelConnection.h"

#include <string>

namespace quillon {

// The removal modes: the ids of the page's radio buttons.
enum class RemovalMode : int {
    Chosen = 1023, // "Удалить выбранные коллекции словарей для языковой пары"
    Direction = 1025, // "Удалить все коллекции словарей указанной языковой пары"
    All = 1026,       // "Удалить все коллекции словарей"
};

// Control ids of dialog 175.
enum RemovalControl : int {
    kCtlRemoveDirections = 1027, // combo box of directions
    kCtlRemoveButton = 2010,     // "&Удалить"
    kCtlCollectionList = 1039,   // multiple-selection list of collection names
};

class RemovalView {
public:
    virtual ~RemovalView() = default;

    // Combo box 1027: filled by FillDirectionList; its current text names the direction.
    virtual DirectionListPort& Directions() = 0;
    virtual std::string CurrentDirection() = 0;
    virtual void EnableDirections(bool enabled) = 0;

    // List 1039 (sorted by the list itself): entries are addressed by their position.
    virtual void ClearCollections() = 0;
    virtual void AddCollection(const std::string& name) = 0;
    virtual int CollectionCount() = 0;
    virtual std::string CollectionText(int index) = 0;
    virtual bool IsCollectionSelected(int index) = 0;
    virtual void SelectCollection(int index, bool selected) = 0;
    virtual void EnableCollections(bool enabled) = 0;

    // Radio buttons 1023/1025/1026: checks `mode` (and gives it the focus).
    virtual void CheckMode(RemovalMode mode) = 0;
    // Button 2010.
    virtual void EnableRemove(bool enabled) = 0;
    virtual void ShowWaitCursor(bool shown) = 0;
    // The question-mark system beep that goes with a kernel error.
    virtual void Beep() = 0;
    // The cancel confirmation (dialog 135): true for "&Да ".
    virtual bool ConfirmCancel() = 0;
};

} // namespace quillon
