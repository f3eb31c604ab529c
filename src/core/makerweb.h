#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The maker's web server: the news, support and home pages and the join
// statistics live there. Its address is given when Morvix is built (the CMake
// setting MORVIX_MAKER_URL); a build without one has no such pages, and the
// commands that need them stand disabled.
QString MakerWebAddress();

// The page at Path ("/morvix/support") on the maker's web server, or an
// empty URL when the build has no address.
QUrl MakerPage(const QString& path);
QUrl MakerPage(const QString& address, const QString& path);

// The news page, "/morvix/news" on the maker's web server; empty without an
// address.
QUrl NewsPage();

// For tests: the address MakerWebAddress gives instead of the build's, until
// called again with nothing.
void SetMakerWebAddressForTests(const std::optional<QString>& address);
