#pragma once
// What the keyword list offers beyond its rows: the KEI column and its
// colour bands, the filter bar, Delete Hidden Rows, duplicates in another
// word order and the Excel export. The main window builds one and hands it
// its list, view and context menu; the choices are kept per user.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class IMessageBox;
class IStatusBar;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QMenu;
class QPushButton;
class QSettings;
class QSpinBox;
class QToolButton;
class QWidget;
class TKeywordList;
class TKeywordView;
class TKeywordViewModel;
class TListSorter;
struct TKeywordFilter;

class TListViewTools : public QObject
{
    Q_OBJECT
public:
    // The view gets the tools' model; status is the window's row-count panel.
    TListViewTools(TKeywordList &list, TKeywordView &view, IMessageBox *&msg, IStatusBar &status,
                   QObject *parent = nullptr);
    ~TListViewTools() override;

    TKeywordViewModel &viewModel() const { return *m_model; }
    // Header-click sorts; big lists are sorted off the window's thread.
    TListSorter &sorter() const { return *m_sorter; }
    // The bar above the list; hidden until opened.
    QFrame *filterBar() const { return m_bar; }
    // Puts the tools' entries into the list's context menu.
    void AddMenuEntries(QMenu &menu);

    // The row-count text while a filter is on, in place of the given one.
    QString RowCountText(const QString &text) const;
    // Select All: the rows that show.
    void CheckShownRows();
    // Copy: the rows hidden by the filter (nullptr without a filter).
    const std::vector<bool> *HiddenRows();
    // A header click: the list's own sort, or by KEI.
    void Sort(int column, bool ascending);
    // The commands that change rows are held back while a run goes on.
    void SetRunning(bool running);

    void ShowFilterBar();
    void ApplyFilter();
    void ClearFilter();
    void SetKeiShown(bool shown);
    void SetKeiEngine(int engineColumn);
    void EditKeiBands();
    void EditNegativeWords();
    void DeleteHiddenRows();
    void RemoveWordOrderDuplicates();
    void ExportToExcel();

    QAction *actShowKei, *actKeiBands, *actFilter, *actDeleteHidden, *actRemoveWordOrder,
        *actExportExcel;
    QAction *actKeiEngine[3];
    QCheckBox *chkNegative;
    QPushButton *btnNegative, *btnApplyFilter, *btnClearFilter;
    QToolButton *btnCloseFilter;
    QLineEdit *edtMustContain, *edtMinSearches, *edtMaxCount, *edtMinKei;
    QComboBox *cboCountEngine;
    QSpinBox *spnMinWords, *spnMaxWords;

private:
    void BuildBar();
    void UpdateRowCount();
    TKeywordFilter FilterFromBar() const;

    TKeywordList &m_list;
    TKeywordView &m_view;
    IMessageBox *&m_msg;
    IStatusBar &m_status;
    TKeywordViewModel *m_model;
    TListSorter *m_sorter;
    QFrame *m_bar = nullptr;
    QStringList m_negativeWords;
    std::vector<bool> m_hidden;
    QString m_lastExport;
    std::unique_ptr<QSettings> m_settings;
};
