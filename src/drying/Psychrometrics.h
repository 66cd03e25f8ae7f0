#pragma once

#include "base/FieldProblem.h"

#include <QString>
#include <optional>

// Moisture in air from a temperature and a relative humidity, as the drying
// log works it out. Readings are stored in °F; the office may show °C.
namespace drying {

enum class TemperatureUnit { Fahrenheit, Celsius };

// The drying log's problems and messages, under "Drying Log".
inline const ProblemTitle problem { QStringLiteral("Drying Log") };

// The unit of the company setting's stored code ("F"/"C"); anything but "C"
// (NULL included) is °F.
TemperatureUnit unitFromCode(const QString &code);
// "°F" or "°C".
QString unitSymbol(TemperatureUnit unit);

double fahrenheitToCelsius(double f);
double celsiusToFahrenheit(double c);
// A temperature in `unit` to °F, and °F to `unit`.
double toFahrenheit(double value, TemperatureUnit unit);
double fromFahrenheit(double fahrenheit, TemperatureUnit unit);

// The range a reading may have: -40 to 160 °F (the same in °C for °C).
inline constexpr double kMinFahrenheit = -40;
inline constexpr double kMaxFahrenheit = 160;

// Saturation vapour pressure over liquid water (ASHRAE, Hyland–Wexler), kPa.
double saturationPressureKPa(double celsius);

// The checks of a reading's two values, the field named "Temperature" or
// "Humidity"; nothing when both are fine. `temperature` is in `unit`. NaN
// and infinities are refused.
std::optional<FieldProblem> checkTemperature(double temperature, TemperatureUnit unit);
std::optional<FieldProblem> checkHumidity(double relativeHumidity);

struct Conditions
{
    double grainsPerPound = 0; // GPP, at standard pressure (101.325 kPa)
    // In the unit asked for; NaN at 0 % (dry air has no dew point).
    double dewPoint = 0;
};

// GPP and dew point (Magnus form) of a temperature in `unit` and a relative
// humidity in percent (0-100). Values the checks above refuse give nothing.
std::optional<Conditions> conditions(double temperature, double relativeHumidity, TemperatureUnit unit);

// Display texts: GPP with one decimal ("54.5"), a temperature with one decimal
// and its symbol ("50.5 °F"); NaN gives empty text.
QString formatGpp(double gpp);
QString formatTemperature(double value, TemperatureUnit unit);

} // namespace drying
