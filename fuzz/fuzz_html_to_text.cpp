// libFuzzer target: HtmlToText and the replacement walk under it.
//
// Byte 0, bit 0 clear: the rest is a table cell. Its text must come out
// trimmed, no longer than the cell, without tabs, line breaks or quotes, and
// (for cells up to 2 KiB) equal to unfolding the whole table row by row with
// a plain search-from-the-start loop.
// Bit 0 set: bytes 1 and 2 are the lengths (1-8, 0-7) of a searched text and
// a shorter replacement that follow; ReplaceAllRescan over the rest must equal
// the plain loop.

#include "FuzzSupport.h"
#include "util/UUtils.h"

#include <cstring>
#include <iterator>

namespace {

// The cell unfolding, row by row, in the program's order.
const char *const Table[][2] = {
    {"&amp;", "&"},       {"&nbsp;", " "},  {"\t", " "},      {"<wbr>", ""},      {"&#039;", "'"},
    {"Tel : ", ""},       {"Fax : ", ""},   {"<strong>", ""}, {"</strong>", ""},  {"<em>", ""},
    {"<hr>", ""},         {"<h3>", ""},     {"</h3>", ""},    {"<H3>", ""},       {"</H3>", ""},
    {"</em>", ""},        {"<u>", ""},      {"</u>", ""},     {"</INVALID>", ""}, {"<br>", " "},
    {"<BR>", " "},        {"<tr>", ""},     {"</tr>", ""},    {"<td>", ""},       {"</td>", ""},
    {"<table>", ""},      {"</table>", ""}, {"</font>", ""},  {"<b>", ""},        {"<i>", ""},
    {"<blockquote>", ""}, {"</p>", ""},     {"<p>", " "},     {"<P>", " "},       {"</P>", ""},
    {"</b>", ""},         {"</i>", ""},     {"</th>", ""},    {"<br />", ""},     {"</FONT>", ""},
    {"</TD>", ""},        {"<TD>", ""},     {"<B>", ""},      {"</B>", ""},       {"<TR>", ""},
    {"<BR>", ""},         {"</TR>", ""},    {"\"", ""},       {"\n", " "},        {"\r", " "},
};
static_assert(std::size(Table) == 50);

// Replace the leftmost occurrence and search the whole text again, until none
// is left. The replacement is shorter, so this ends.
QByteArray PlainReplaceAll(QByteArray text, const QByteArray &searched,
                           const QByteArray &replacement)
{
    for (qsizetype at = text.indexOf(searched); at >= 0; at = text.indexOf(searched))
        text.replace(at, searched.size(), replacement);
    return text;
}

QByteArray PlainHtmlToText(const QByteArray &html)
{
    QByteArray text = html;
    for (const auto &row : Table)
        text = PlainReplaceAll(text, QByteArray(row[0]), QByteArray(row[1]));
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlankByte(text[first]))
        ++first;
    while (last > first && IsBlankByte(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

void CheckCell(const QByteArray &html)
{
    const QByteArray text = HtmlToText(html);
    FUZZ_CHECK(text.size() <= html.size());
    FUZZ_CHECK(IsTrimmed(text));
    for (char c : {'\t', '\n', '\r', '"'})
        FUZZ_CHECK(!text.contains(c));
    if (html.size() <= 2048)
        FUZZ_CHECK(text == PlainHtmlToText(html));
}

void CheckReplacement(const uint8_t *data, size_t size)
{
    if (size < 3)
        return;
    const size_t searchedLength = (data[1] & 7) + 1;
    const size_t replacementLength = std::min<size_t>(data[2] & 7, searchedLength - 1);
    const size_t head = 3 + searchedLength + replacementLength;
    if (size < head || size - head > 1024)
        return;
    const QByteArray searched = FuzzBytes(data + 3, searchedLength);
    const QByteArray replacement = FuzzBytes(data + 3 + searchedLength, replacementLength);
    const QByteArray source = FuzzBytes(data + head, size - head);
    const QByteArray result = ReplaceAllRescan(source, searched, replacement);
    FUZZ_CHECK(result == PlainReplaceAll(source, searched, replacement));
    FUZZ_CHECK(!result.contains(searched));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    if (data[0] & 1)
        CheckReplacement(data, size);
    else
        CheckCell(FuzzBytes(data + 1, size - 1));
    return 0;
}
