#pragma once
// Export to Excel: the rows and columns the list shows, as an .xlsx
// workbook. Numbers go out as numbers, keywords as the text the screen shows
// (UTF-8), KEI cells on their band's colour; the header row is frozen and
// carries an autofilter. Written row by row in libxlsxwriter's
// constant-memory mode, so memory stays flat whatever the rows.

#include "base/KeywordFilter.h"

#include <QString>
#include <array>
#include <functional>
#include <vector>

class TKeywordList;

struct TXlsxExport
{
    std::vector<int> Rows;    // list rows, in the order they go out
    std::vector<int> Columns; // list columns, and TKeywordViewModel::KeiColumn
    TKeiOptions Kei;
    std::array<quint32, 3> BandColours{}; // 0xRRGGBB: poor, good, excellent
};

// The most rows a sheet holds below its header.
constexpr int XlsxMaxRows = 1048575;

// Called every few thousand rows with the rows written so far.
using TXlsxProgress = std::function<void(int written, int total)>;

// Writes the whole file or leaves what was there; error says why not.
bool WriteXlsx(const QString &fileName, const TKeywordList &list, const TXlsxExport &what,
               QString &error, const TXlsxProgress &progress = {});

// The name a chosen file is saved under: ".xlsx" unless it has it.
QString XlsxFileName(const QString &chosen);
