#pragma once
#include <QByteArray>

// The values read from the settings file, held by the main window for the
// whole run. Empty until the settings file is read.
struct TProgramSettings
{
    QByteArray ApplicationName;
    QByteArray BranderCode;
    QByteArray BranderType;
    QByteArray AffiliateURL;
    QByteArray AffiliateTYPE;
    QByteArray AffiliateID;
    QByteArray MasterNewsBaseURL;
    QByteArray PlatinumNewsBaseURL;
    QByteArray GoldNewsBaseURL;
    QByteArray MasterPublID;
    QByteArray PlatinumPublID;
    QByteArray GoldPublID;
    QByteArray AppHelpURL;
    QByteArray CopyrightYears;
    QByteArray CopyrightCompany;
    QByteArray AboutText;
    QByteArray WelcomeHTML;
    QByteArray BannerImage;
    QByteArray BannerURL;
    int BannerNumber = 0;
    QByteArray Link1Caption;
    QByteArray Link1URL;
    QByteArray Link2Caption;
    QByteArray Link2URL;
};
