#pragma once
// CollectionPage: the collection page's window (dialog 177) over CSelectCollectionDlg. It closes
// itself before it is shown when the distribution offers nothing to read (result 1, no choice).
#include "selection/CollectionListView.h"
#include "selection/SelectCollectionDlg.h"
#include "shell/WizardPage.h"

#include <memory>

namespace Ui {
class CollectionPage;
}

namespace quillon {

class CollectionPage : public CWizardPage, private CollectionListView {
    Q_OBJECT
public:
    CollectionPage(QWidget* parent, std::string distributionFolder, std::string setupIniPath,
                   std::string raviriInfPath);
    ~CollectionPage() override;

    // After Run answered 1: the choice, both empty when the page closed itself.
    const std::string& ChosenId() const { return logic_.ChosenId(); }
    const std::string& ChosenName() const { return logic_.ChosenName(); }
    // Why the page closed itself, and the language pairs it lacked.
    CollectionListing Listing() const { return logic_.Listing(); }
    const std::vector<std::string>& NeededPairs() const { return logic_.NeededPairs(); }
    // Item number -> identifier of every listed collection.
    const std::map<int, std::string>& ItemMap() const { return logic_.ItemMap(); }

protected:
    bool OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnNext();

    void ClearList() override;
    void AddEntry(const std::string& text, int itemData) override;
    int EntryCount() const override;
    int EntryData(int entry) const override;
    int SelectedEntry() const override;
    void EnableNext(bool enabled) override;

    std::unique_ptr<Ui::CollectionPage> ui_;
    CSelectCollectionDlg logic_;
};

} // namespace quillon
