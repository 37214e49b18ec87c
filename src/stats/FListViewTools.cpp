#include "stats/FListViewTools.h"

#include "base/FKeywordView.h"
#include "base/FModal.h"
#include "base/KeywordFilter.h"
#include "base/KeywordList.h"
#include "base/ListActions.h"
#include "base/ListSorter.h"
#include "base/MessageBox.h"
#include "base/StatusBar.h"
#include "stats/XlsxExport.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFileDialog>
#include <QFormLayout>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const int Engines[3] = {KeywordRow::Google, KeywordRow::Yahoo, KeywordRow::Msn};

QString EngineName(int column)
{
    return QString::fromLatin1(TKeywordList::Headers[column]);
}

QLineEdit *NumberEdit(const char *name, const QString &placeholder, bool decimals, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(placeholder);
    edit->setFixedWidth(70);
    if (decimals) {
        auto *v = new QDoubleValidator(0, 1e18, 2, edit);
        v->setNotation(QDoubleValidator::StandardNotation);
        v->setLocale(QLocale::c());
        edit->setValidator(v);
    } else {
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9,]{0,25}")), edit));
    }
    return edit;
}

qint64 WholeNumber(const QLineEdit *edit)
{
    const std::optional<qint64> v = CountNumber(edit->text().trimmed().toLatin1());
    return v && *v >= 0 ? *v : -1;
}

double Decimal(const QLineEdit *edit)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(edit->text().trimmed(), &ok);
    return ok && v >= 0 ? v : -1;
}

QStringList Phrases(const QString &text, QChar separator)
{
    QStringList out;
    for (const QString &part : text.split(separator, Qt::SkipEmptyParts)) {
        const QString p = part.simplified();
        if (!p.isEmpty())
            out.append(p);
    }
    return out;
}

} // namespace

TListViewTools::TListViewTools(TKeywordList &list, TKeywordView &view, IMessageBox *&msg,
                               IStatusBar &status, QObject *parent)
    : QObject(parent), m_list(list), m_view(view), m_msg(msg), m_status(status),
      m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Tarnwick"), QStringLiteral("list")))
{
    m_model = new TKeywordViewModel(list, this);
    m_sorter = new TListSorter(list, this);
    TKeiOptions kei;
    const int engine = m_settings->value(QStringLiteral("kei/engine"), KeywordRow::Google).toInt();
    kei.EngineColumn = KeywordRow::IsEngineColumn(engine) ? engine : int(KeywordRow::Google);
    kei.Excellent = m_settings->value(QStringLiteral("kei/excellent"), kei.Excellent).toDouble();
    kei.Good = m_settings->value(QStringLiteral("kei/good"), kei.Good).toDouble();
    m_model->setKeiOptions(kei);
    m_negativeWords = m_settings->value(QStringLiteral("filter/negativeWords")).toStringList();
    view.setModel(m_model);

    actShowKei = new QAction(QStringLiteral("Show KEI"), this);
    actShowKei->setObjectName(QStringLiteral("actShowKei"));
    actShowKei->setCheckable(true);
    auto *engines = new QActionGroup(this);
    for (int e = 0; e < 3; ++e) {
        actKeiEngine[e] =
            new QAction(QStringLiteral("KEI by %1").arg(EngineName(Engines[e])), engines);
        actKeiEngine[e]->setObjectName(
            QStringLiteral("actKeiEngine%1").arg(EngineName(Engines[e])));
        actKeiEngine[e]->setCheckable(true);
        actKeiEngine[e]->setChecked(Engines[e] == kei.EngineColumn);
        connect(actKeiEngine[e], &QAction::triggered, this,
                [this, e] { SetKeiEngine(Engines[e]); });
    }
    actKeiBands = new QAction(QStringLiteral("KEI Bands..."), this);
    actKeiBands->setObjectName(QStringLiteral("actKeiBands"));
    actFilter = new QAction(QStringLiteral("Filter..."), this);
    actFilter->setObjectName(QStringLiteral("actFilter"));
    actFilter->setShortcut(QKeySequence::Find);
    actFilter->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    actDeleteHidden = new QAction(QStringLiteral("Delete Hidden Rows"), this);
    actDeleteHidden->setObjectName(QStringLiteral("actDeleteHidden"));
    actRemoveWordOrder = new QAction(QStringLiteral("Remove Duplicates in Any Word Order"), this);
    actRemoveWordOrder->setObjectName(QStringLiteral("actRemoveWordOrder"));
    actExportExcel = new QAction(QStringLiteral("Export to Excel..."), this);
    actExportExcel->setObjectName(QStringLiteral("actExportExcel"));

    connect(actShowKei, &QAction::toggled, this, [this](bool on) { SetKeiShown(on); });
    connect(actKeiBands, &QAction::triggered, this, [this] { EditKeiBands(); });
    connect(actFilter, &QAction::triggered, this, [this] { ShowFilterBar(); });
    connect(actDeleteHidden, &QAction::triggered, this, [this] { DeleteHiddenRows(); });
    connect(actRemoveWordOrder, &QAction::triggered, this, [this] { RemoveWordOrderDuplicates(); });
    connect(actExportExcel, &QAction::triggered, this, [this] { ExportToExcel(); });

    BuildBar();
    connect(m_model, &TKeywordViewModel::filterApplied, this, [this] { UpdateRowCount(); });
    // While a filter is on, the counts follow every change of the list (the
    // view model hears of it first).
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_list, signal, this, [this] {
            if (m_model->isFiltering())
                UpdateRowCount();
        });
    connect(&m_list, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model->isFiltering())
            UpdateRowCount();
    });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, [this] {
            if (m_model->isFiltering())
                UpdateRowCount();
        });

    const bool keiShown = m_settings->value(QStringLiteral("kei/shown"), false).toBool();
    actShowKei->setChecked(keiShown);
    SetKeiShown(keiShown);
}

TListViewTools::~TListViewTools() = default;

void TListViewTools::BuildBar()
{
    m_bar = new QFrame;
    m_bar->setObjectName(QStringLiteral("panFilter"));
    m_bar->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(4);
    auto label = [&](const QString &text) {
        auto *l = new QLabel(text, m_bar);
        layout->addWidget(l);
        return l;
    };

    chkNegative = new QCheckBox(QStringLiteral("Negative words"), m_bar);
    chkNegative->setObjectName(QStringLiteral("chkNegative"));
    chkNegative->setChecked(m_settings->value(QStringLiteral("filter/useNegative"), true).toBool());
    layout->addWidget(chkNegative);
    btnNegative = new QPushButton(m_bar);
    btnNegative->setObjectName(QStringLiteral("btnNegative"));
    btnNegative->setToolTip(QStringLiteral("Words or phrases, one a line: a keyword holding one of "
                                           "them as whole words is hidden. Kept for next time."));
    layout->addWidget(btnNegative);
    label(QStringLiteral("Must contain:"));
    edtMustContain = new QLineEdit(m_bar);
    edtMustContain->setObjectName(QStringLiteral("edtMustContain"));
    edtMustContain->setPlaceholderText(QStringLiteral("words, commas between"));
    edtMustContain->setMinimumWidth(110);
    layout->addWidget(edtMustContain, 1);
    label(QStringLiteral("Words:"));
    spnMinWords = new QSpinBox(m_bar);
    spnMinWords->setObjectName(QStringLiteral("spnMinWords"));
    spnMaxWords = new QSpinBox(m_bar);
    spnMaxWords->setObjectName(QStringLiteral("spnMaxWords"));
    for (QSpinBox *s : {spnMinWords, spnMaxWords}) {
        s->setRange(0, 99);
        s->setSpecialValueText(QStringLiteral("any"));
    }
    spnMinWords->setToolTip(QStringLiteral("Fewest words"));
    spnMaxWords->setToolTip(QStringLiteral("Most words"));
    layout->addWidget(spnMinWords);
    label(QStringLiteral("to"));
    layout->addWidget(spnMaxWords);
    label(QStringLiteral("Searches \u2265"));
    edtMinSearches = NumberEdit("edtMinSearches", QStringLiteral("any"), false, m_bar);
    layout->addWidget(edtMinSearches);
    cboCountEngine = new QComboBox(m_bar);
    cboCountEngine->setObjectName(QStringLiteral("cboCountEngine"));
    for (int e : Engines)
        cboCountEngine->addItem(EngineName(e), e);
    layout->addWidget(cboCountEngine);
    label(QStringLiteral("\u2264"));
    edtMaxCount = NumberEdit("edtMaxCount", QStringLiteral("any"), false, m_bar);
    layout->addWidget(edtMaxCount);
    label(QStringLiteral("KEI \u2265"));
    edtMinKei = NumberEdit("edtMinKei", QStringLiteral("any"), true, m_bar);
    layout->addWidget(edtMinKei);
    btnApplyFilter = new QPushButton(QStringLiteral("Apply"), m_bar);
    btnApplyFilter->setObjectName(QStringLiteral("btnApplyFilter"));
    btnClearFilter = new QPushButton(QStringLiteral("Clear"), m_bar);
    btnClearFilter->setObjectName(QStringLiteral("btnClearFilter"));
    btnCloseFilter = new QToolButton(m_bar);
    btnCloseFilter->setText(QStringLiteral("\u00d7"));
    btnCloseFilter->setAutoRaise(true);
    btnCloseFilter->setObjectName(QStringLiteral("btnCloseFilter"));
    btnCloseFilter->setToolTip(QStringLiteral("Clear the filter and close the bar"));
    layout->addWidget(btnApplyFilter);
    layout->addWidget(btnClearFilter);
    layout->addWidget(btnCloseFilter);
    m_bar->hide();

    auto updateNegative = [this] {
        btnNegative->setText(QStringLiteral("Edit (%1)...").arg(m_negativeWords.size()));
    };
    updateNegative();
    connect(btnNegative, &QPushButton::clicked, this, [this, updateNegative] {
        EditNegativeWords();
        updateNegative();
    });
    connect(btnApplyFilter, &QPushButton::clicked, this, [this] { ApplyFilter(); });
    connect(btnClearFilter, &QPushButton::clicked, this, [this] { ClearFilter(); });
    connect(btnCloseFilter, &QToolButton::clicked, this, [this] {
        ClearFilter();
        m_bar->hide();
        m_view.setFocus();
    });
    for (QLineEdit *e : {edtMustContain, edtMinSearches, edtMaxCount, edtMinKei})
        connect(e, &QLineEdit::returnPressed, this, [this] { ApplyFilter(); });
}

void TListViewTools::AddMenuEntries(QMenu &menu)
{
    menu.addSeparator();
    menu.addAction(actRemoveWordOrder);
    menu.addAction(actFilter);
    menu.addAction(actDeleteHidden);
    menu.addSeparator();
    menu.addAction(actShowKei);
    QMenu *engines = menu.addMenu(QStringLiteral("KEI Engine"));
    engines->setObjectName(QStringLiteral("mnuKeiEngine"));
    for (QAction *a : actKeiEngine)
        engines->addAction(a);
    menu.addAction(actKeiBands);
    menu.addSeparator();
    menu.addAction(actExportExcel);
    // Ctrl+F anywhere on the list's page.
    if (QWidget *page = m_view.parentWidget())
        page->addAction(actFilter);
}

QString TListViewTools::RowCountText(const QString &text) const
{
    if (!m_model->isFiltering())
        return text;
    return QStringLiteral("%1 shown, %2 hidden")
        .arg(m_model->shownCount())
        .arg(m_model->hiddenCount());
}

void TListViewTools::UpdateRowCount()
{
    m_status.SetRowCountText(ItemsListedText(m_list.count()));
}

void TListViewTools::CheckShownRows()
{
    if (!m_model->isFiltering())
        m_list.setAllChecked(true);
    else
        m_list.setCheckedRows(m_model->shownRows(), true);
}

const std::vector<bool> *TListViewTools::HiddenRows()
{
    if (!m_model->isFiltering())
        return nullptr;
    m_hidden = m_model->hiddenMask();
    return &m_hidden;
}

void TListViewTools::Sort(int column, bool ascending)
{
    if (column == TKeywordViewModel::KeiColumn)
        m_sorter->start(column, ascending, [this] { return m_model->keiKeys(); });
    else
        m_sorter->start(column, ascending);
}

void TListViewTools::SetRunning(bool running)
{
    actDeleteHidden->setEnabled(!running);
    actRemoveWordOrder->setEnabled(!running);
}

TKeywordFilter TListViewTools::FilterFromBar() const
{
    TKeywordFilter f;
    if (chkNegative->isChecked())
        f.NegativeWords = m_negativeWords;
    f.MustContain = Phrases(edtMustContain->text(), QLatin1Char(','));
    f.MinWords = spnMinWords->value();
    f.MaxWords = spnMaxWords->value();
    f.MinSearches = WholeNumber(edtMinSearches);
    f.MaxCountColumn = cboCountEngine->currentData().toInt();
    f.MaxCount = WholeNumber(edtMaxCount);
    f.MinKei = Decimal(edtMinKei);
    return f;
}

void TListViewTools::ShowFilterBar()
{
    m_bar->show();
    edtMustContain->setFocus();
}

void TListViewTools::ApplyFilter()
{
    m_settings->setValue(QStringLiteral("filter/useNegative"), chkNegative->isChecked());
    m_model->setFilter(FilterFromBar());
}

void TListViewTools::ClearFilter()
{
    const bool was = m_model->isFiltering();
    m_model->clearFilter();
    if (was)
        UpdateRowCount();
}

void TListViewTools::SetKeiShown(bool shown)
{
    m_view.setColumnHidden(TKeywordViewModel::KeiColumn, !shown);
    if (shown && m_view.columnWidth(TKeywordViewModel::KeiColumn) < 20)
        m_view.setColumnWidth(TKeywordViewModel::KeiColumn, 80);
    m_settings->setValue(QStringLiteral("kei/shown"), shown);
}

void TListViewTools::SetKeiEngine(int engineColumn)
{
    TKeiOptions kei = m_model->keiOptions();
    kei.EngineColumn = engineColumn;
    m_model->setKeiOptions(kei);
    for (int e = 0; e < 3; ++e)
        actKeiEngine[e]->setChecked(Engines[e] == engineColumn);
    m_settings->setValue(QStringLiteral("kei/engine"), engineColumn);
}

void TListViewTools::EditKeiBands()
{
    TKeiOptions kei = m_model->keiOptions();
    QDialog dialog(m_view.window());
    dialog.setObjectName(QStringLiteral("frmKeiBands"));
    dialog.setWindowTitle(QStringLiteral("KEI Bands"));
    auto *form = new QFormLayout(&dialog);
    auto *excellent = NumberEdit("edtExcellent", {}, true, &dialog);
    auto *good = NumberEdit("edtGood", {}, true, &dialog);
    excellent->setText(KeiText(kei.Excellent));
    good->setText(KeiText(kei.Good));
    form->addRow(QStringLiteral("Excellent from KEI:"), excellent);
    form->addRow(QStringLiteral("Good from KEI:"), good);
    form->addRow(new QLabel(QStringLiteral("Below good: poor."), &dialog));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (RunModal(dialog) != QDialog::Accepted)
        return;
    const double e = Decimal(excellent), g = Decimal(good);
    if (e < 0 || g < 0 || g > e) {
        m_msg->Notice(QStringLiteral("The good band has to start at a KEI no higher than the "
                                     "excellent band; the bands stay as they were."));
        return;
    }
    kei.Excellent = e;
    kei.Good = g;
    m_model->setKeiOptions(kei);
    m_settings->setValue(QStringLiteral("kei/excellent"), e);
    m_settings->setValue(QStringLiteral("kei/good"), g);
}

void TListViewTools::EditNegativeWords()
{
    QDialog dialog(m_view.window());
    dialog.setObjectName(QStringLiteral("frmNegativeWords"));
    dialog.setWindowTitle(QStringLiteral("Negative Words"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("One word or phrase a line:"), &dialog));
    auto *edit = new QPlainTextEdit(&dialog);
    edit->setObjectName(QStringLiteral("edtNegativeWords"));
    edit->setPlainText(m_negativeWords.join(QLatin1Char('\n')));
    layout->addWidget(edit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (RunModal(dialog) != QDialog::Accepted)
        return;
    m_negativeWords = Phrases(edit->toPlainText(), QLatin1Char('\n'));
    m_settings->setValue(QStringLiteral("filter/negativeWords"), m_negativeWords);
    m_settings->sync();
}

void TListViewTools::DeleteHiddenRows()
{
    const int hidden = m_model->isFiltering() ? m_model->hiddenCount() : 0;
    if (hidden == 0) {
        m_msg->Notice(QStringLiteral("No row is hidden by the filter."));
        return;
    }
    if (!m_msg->Confirm(QStringLiteral("%1 of the %2 rows are hidden by the filter and will be "
                                       "deleted. Do you want to delete them?")
                            .arg(hidden)
                            .arg(m_list.count())))
        return;
    m_list.removeMarkedRows(m_model->hiddenMask());
    UpdateRowCount();
}

void TListViewTools::RemoveWordOrderDuplicates()
{
    RemoveDuplicates(m_list, *m_msg, m_status, TDuplicateRule::AnyWordOrder);
}

void TListViewTools::ExportToExcel()
{
    if (m_model->rowCount() == 0) {
        m_msg->Notice(QStringLiteral("There are no rows to export."));
        return;
    }
    QFileDialog dialog(m_view.window(), QStringLiteral("Export to Excel"),
                       m_lastExport.isEmpty() ? QString() : m_lastExport,
                       QStringLiteral("Excel workbook (*.xlsx)"));
    dialog.setObjectName(QStringLiteral("dlgExportExcel"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString fileName = XlsxFileName(dialog.selectedFiles().constFirst());

    TXlsxExport what;
    what.Rows = m_model->shownRows();
    QHeaderView *header = m_view.horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            what.Columns.push_back(logical);
    }
    what.Kei = m_model->keiOptions();
    for (int b = 0; b < 3; ++b)
        what.BandColours[size_t(b)] = m_view.keiBandColor(int(TKeiBand::Poor) + b).rgb();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    // A big export takes seconds: the window keeps painting and says how
    // far it got, while clicks and keys wait for the end.
    const bool written = WriteXlsx(fileName, m_list, what, error, [this](int done, int total) {
        m_status.SetMainStatus(QStringLiteral("Exporting: %1 of %2 rows...").arg(done).arg(total));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    QGuiApplication::restoreOverrideCursor();
    if (!written) {
        m_msg->Failure(QStringLiteral("Unable to export the rows: %1").arg(error));
        return;
    }
    m_lastExport = fileName;
    m_status.SetMainStatus(QStringLiteral("%1 rows exported to %2.")
                               .arg(what.Rows.size())
                               .arg(QDir::toNativeSeparators(fileName)));
}
