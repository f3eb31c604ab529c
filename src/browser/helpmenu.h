#pragma once

#include <QString>

#include <functional>

class QMenu;
class TDialogs;

// The Help menu's items: "Retrieve latest news" (miHelpNews, for the news
// window to take), "Morvix Online help" and "Morvix homepage" (the maker's
// pages "/morvix/support" and "/morvix", handed to OpenPage; disabled with a
// tip saying why when there is no maker's web site) and "&Credits".
void AddHelpItems(QMenu& help, TDialogs& dialogs, bool hasWebSite,
                  const std::function<void(const QString& path)>& openPage);
