#include "core/settings.h"

#include <algorithm>

namespace {

constexpr const char* kColorNames[ColorSettingCount] = {
    "qsWorking", "qsIdle", "qsTimeout",  "Favorite",    "PlayerBG",
    "ListBG",    "RuleBG", "ToolbarsBG", "ToolbarFont", "OtherFont",
};

// Value names under "Games", by TGameType.
constexpr const char* kGamePathNames[gtUnknown] = {
    "SoF",       "Sin",    "Heretic 2",  "Tribes", "Tribes2",
    "Half-life", "Quake3", "QuakeWorld", "Quake2", "KingPin",
};

constexpr std::array<TGameType, gtUnknown> kGamePathOrder = {
    gtTribes,  gtQuakeWorld, gtQuake2,   gtQuake3, gtHalfLife,
    gtKingpin, gtSin,        gtHeretic2, gtSoF,    gtTribes2,
};

} // namespace

TSettings::TSettings(QObject* parent) : QObject(parent) {}

void TSettings::Change(const std::function<void(TSettingsValues&)>& edit)
{
    TSettingsValues values = Values_;
    edit(values);
    Limit(values);
    if (values == Values_) {
        return;
    }
    const bool colorsChanged = values.Colors != Values_.Colors;
    Values_ = std::move(values);
    if (colorsChanged) {
        emit ColorsChanged();
    }
    emit Changed();
}

void TSettings::Reset()
{
    Change([](TSettingsValues& values) { values = TSettingsValues(); });
}

void TSettings::Limit(TSettingsValues& values)
{
    // The limits of the options window's number boxes; a value from anywhere
    // else (a damaged store) is held to them the same way.
    values.MaxQueries = std::clamp(values.MaxQueries, 1, 99999);
    values.QueryTimeout = std::clamp(values.QueryTimeout, 50, 99999);
    values.Retry = std::clamp(values.Retry, 0, 99999);
    values.QueryDelay = std::clamp(values.QueryDelay, 1, 99999);
    values.PingTimeout = std::clamp(values.PingTimeout, 1, 99999);
    if (values.DefaultGameType < -1 || values.DefaultGameType >= gtUnknown) {
        values.DefaultGameType = -1;
    }
    for (TColor& color : values.Colors) {
        color.Value &= 0x00FFFFFF;
    }
}

const char* TSettings::ColorName(TColorSetting color)
{
    return color < ColorSettingCount ? kColorNames[color] : "";
}

const char* TSettings::GamePathName(TGameType game)
{
    return game < gtUnknown ? kGamePathNames[game] : "";
}

const std::array<TGameType, gtUnknown>& TSettings::GamePathOrder()
{
    return kGamePathOrder;
}
