#pragma once
// Base addresses of the outside services. main() passes the built-in ones;
// tests and the demo pass the emulator's.

#include <QByteArray>

struct Endpoints
{
    QByteArray Suggest;    // + "/?seed=..." and "/keyword-suggestion-tool.html?..."
    QByteArray Google;     // + "/search?q="
    QByteArray Yahoo;      // + "/search?p="
    QByteArray Msn;        // + "/results.aspx?q="
    QByteArray LiveUpdate; // ends with "/liveupdate/tarnwick/"

    static Endpoints BuiltIn()
    {
        return {TARNWICK_SUGGEST_BASE, TARNWICK_GOOGLE_BASE, TARNWICK_YAHOO_BASE, TARNWICK_MSN_BASE,
                TARNWICK_LIVEUPDATE_BASE};
    }
};
