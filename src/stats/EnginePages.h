#pragma once
// Reading the three search engines' result pages: the one count each page
// reports. Nothing here touches the network, so the rules can be tried on any
// bytes.

#include <QByteArray>

enum class TEngine { Google, Yahoo, Msn };

inline constexpr TEngine AllEngines[] = {TEngine::Google, TEngine::Yahoo, TEngine::Msn};

// Cuts one engine's result count out of its result page; empty when the page
// lacks the markers.
QByteArray ResultRow(TEngine engine, const QByteArray &page);
