#pragma once

#include <QString>

#include <functional>

class QMenu;
class TDialogs;

// The Help menu's items: "Retrieve latest news" (miHelpNews, for the news
// window to take), "Morvix Online help" and "Morvix homepage" (the maker's
// pages, opened in the desktop's browser; disabled with a tip saying why
// when the build names no web site) and "&Credits". A page that cannot be
// opened is told through ShowStatus.
void AddHelpItems(QMenu& help, TDialogs& dialogs,
                  const std::function<void(const QString&)>& showStatus);
