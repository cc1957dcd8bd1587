#pragma once

#include "catalogue/IndicatorListModel.h"
#include "store/CategoryStore.h"
#include "store/IndicatorStore.h"

#include <QItemSelectionModel>
#include <QObject>

#include <functional>
#include <optional>

class Database;

// What the indicator tab decides: loading the current category's list, add, change, delete, the two moves and
// the import from another category. The dialogs it opens are hooks, so the window passes the real ones and
// tests pass scripted ones.
class IndicatorCommands : public QObject {
    Q_OBJECT

public:
    // Opens the indicator editor (table, category, ID or -1); true when it saved.
    using EditHook = std::function<bool(const QString &table, const QString &category, int id)>;
    // Opens the category picker; true with the chosen child category's code and name.
    using SelectHook = std::function<bool(QString *code, QString *name)>;

    explicit IndicatorCommands(Database &database, QObject *parent = nullptr);

    IndicatorListModel *model() { return &mModel; }
    QItemSelectionModel *selectionModel() { return &mSelection; }
    void setEditHook(EditHook hook) { mEdit = std::move(hook); }
    void setSelectHook(SelectHook hook) { mSelect = std::move(hook); }

    // Reads the category's indicators in order; on failure shows the message and leaves the list empty.
    bool load(const QString &categoryCode);
    QString categoryCode() const { return mCategoryCode; }

    int currentRow() const;
    void selectRow(int row);

    void addIndicator();
    void editIndicator();
    void deleteIndicator();
    void moveForward();
    void moveBackward();
    // "导入指标": copies the indicators of another category, chosen in the category picker.
    void importIndicators();

private:
    bool reload(bool reportFailure);
    void move(int step);
    // What an import would clear; nullopt (after the message) when it cannot be read or the user says no.
    struct ImportPlan {
        QList<Indicator> sources;
        QStringList clearedColumns;
        QHash<QString, QString> previousNames;
    };
    std::optional<ImportPlan> planImport(const QString &sourceCode);
    // Replaces the category's indicators by copies of the plan's; false (after the message) on failure.
    bool storeImport(const ImportPlan &plan);

    Database &mDatabase;
    IndicatorStore mStore;
    CategoryStore mCategories;

    IndicatorListModel mModel;
    QItemSelectionModel mSelection;
    QString mCategoryCode;
    EditHook mEdit;
    SelectHook mSelect;
};
