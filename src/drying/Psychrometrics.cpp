#include "drying/Psychrometrics.h"

#include "base/Formats.h"

#include <cmath>

namespace drying {

namespace {

    constexpr double kAtmosphereKPa = 101.325;
    // Ratio of the molar masses of water and dry air.
    constexpr double kMassRatio = 0.621945;
    constexpr double kGrainsPerPound = 7000;
    // Magnus coefficients (°C).
    constexpr double kMagnusA = 17.625;
    constexpr double kMagnusB = 243.04;

} // namespace

TemperatureUnit unitFromCode(const QString &code)
{
    return code.trimmed().compare(u"C", Qt::CaseInsensitive) == 0 ? TemperatureUnit::Celsius
                                                                  : TemperatureUnit::Fahrenheit;
}

QString unitSymbol(TemperatureUnit unit)
{
    return unit == TemperatureUnit::Celsius ? QStringLiteral("°C") : QStringLiteral("°F");
}

double fahrenheitToCelsius(double f)
{
    return (f - 32) * 5 / 9;
}

double celsiusToFahrenheit(double c)
{
    return c * 9 / 5 + 32;
}

double toFahrenheit(double value, TemperatureUnit unit)
{
    return unit == TemperatureUnit::Celsius ? celsiusToFahrenheit(value) : value;
}

double fromFahrenheit(double fahrenheit, TemperatureUnit unit)
{
    return unit == TemperatureUnit::Celsius ? fahrenheitToCelsius(fahrenheit) : fahrenheit;
}

double saturationPressureKPa(double celsius)
{
    // Hyland and Wexler (1983) over liquid water, as ASHRAE Fundamentals gives
    // it: ln(p [Pa]) of the absolute temperature.
    const double t = celsius + 273.15;
    const double ln = -5.8002206e3 / t + 1.3914993 - 4.8640239e-2 * t + 4.1764768e-5 * t * t - 1.4452093e-8 * t * t * t
        + 6.5459673 * std::log(t);
    return std::exp(ln) / 1000;
}

std::optional<FieldProblem> checkTemperature(double temperature, TemperatureUnit unit)
{
    const double f = toFahrenheit(temperature, unit);
    // A small allowance: the °C limits are rounded in the message.
    if (std::isfinite(f) && f >= kMinFahrenheit - 1e-9 && f <= kMaxFahrenheit + 1e-9)
        return std::nullopt;
    return problem("Temperature",
        QStringLiteral("The temperature must be a number from %1 to %2.")
            .arg(formatTemperature(fromFahrenheit(kMinFahrenheit, unit), unit),
                formatTemperature(fromFahrenheit(kMaxFahrenheit, unit), unit)));
}

std::optional<FieldProblem> checkHumidity(double relativeHumidity)
{
    if (std::isfinite(relativeHumidity) && relativeHumidity >= 0 && relativeHumidity <= 100)
        return std::nullopt;
    return problem("Humidity", QStringLiteral("The relative humidity must be a number from 0 to 100 %."));
}

std::optional<Conditions> conditions(double temperature, double relativeHumidity, TemperatureUnit unit)
{
    if (checkTemperature(temperature, unit) || checkHumidity(relativeHumidity))
        return std::nullopt;
    const double celsius = fahrenheitToCelsius(toFahrenheit(temperature, unit));
    const double pw = relativeHumidity / 100 * saturationPressureKPa(celsius);
    Conditions result;
    result.grainsPerPound = kGrainsPerPound * kMassRatio * pw / (kAtmosphereKPa - pw);
    if (relativeHumidity <= 0) {
        result.dewPoint = std::nan("");
    } else {
        const double gamma = std::log(relativeHumidity / 100) + kMagnusA * celsius / (kMagnusB + celsius);
        result.dewPoint = fromFahrenheit(celsiusToFahrenheit(kMagnusB * gamma / (kMagnusA - gamma)), unit);
    }
    return result;
}

QString formatGpp(double gpp)
{
    return std::isfinite(gpp) ? Formats::oneDecimal(gpp) : QString();
}

QString formatTemperature(double value, TemperatureUnit unit)
{
    if (!std::isfinite(value))
        return {};
    return Formats::oneDecimal(value) + u' ' + unitSymbol(unit);
}

} // namespace drying
