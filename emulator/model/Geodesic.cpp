#include "emulator/model/CVesselModelImpl.h"

#include <cmath>

namespace {

// The motion model's constants. Pi is the rounded value the emulator has always used,
// so positions come out the same wherever it runs.
constexpr double kPi = 3.14159265359;
constexpr double kTwoPi = 6.28318530718;
constexpr double kThreePi = 9.424777960770001;
constexpr double kDegPerHalfTurn = 180.0;
constexpr double kFullCircleDeg = 360.0;
constexpr double kMetresPerKm = 1000.0;

// WGS-84.
constexpr double kSemiMinorAxisM = 6356752.3142;                // b
constexpr double kSemiMinorAxisSquaredM2 = 40408299984087.055;  // b^2
constexpr double kAxesSquaredDifferenceM2 = 272331606681.9453;  // a^2 - b^2
constexpr double kFlattening = 0.0033528106647474805;           // 1/298.257223563
constexpr double kOneMinusFlattening = 0.9966471893352525;
constexpr double kFlatteningOver16 = 0.00020955066654671753;

constexpr double kSigmaConvergenceRad = 1e-12;
// The iteration converges in a few passes for any distance a vessel can run in one
// step; absurd distances (a speed of 1e30 knots from the command line) could make the
// difference stall above the limit, so the passes are bounded.
constexpr int kMaxSigmaPasses = 1000;

} // namespace

void VincentyDirect(double latDeg, double lonDeg, double& courseDeg, double distanceKm,
                    double& latOutDeg, double& lonOutDeg)
{
    const double s = distanceKm * kMetresPerKm;
    const double alpha1 = courseDeg * kPi / kDegPerHalfTurn;
    const double phi1 = latDeg * kPi / kDegPerHalfTurn;
    const double lambda1 = lonDeg * kPi / kDegPerHalfTurn;

    const double sinAlpha1 = std::sin(alpha1);
    const double cosAlpha1 = std::cos(alpha1);
    const double tanU1 = kOneMinusFlattening * std::tan(phi1);
    const double cosU1 = 1.0 / std::sqrt(1.0 + tanU1 * tanU1);
    const double sinU1 = tanU1 * cosU1;
    const double sigma1 = std::atan2(tanU1, cosAlpha1);

    const double sinAlpha = cosU1 * sinAlpha1;
    const double cosSqAlpha = 1.0 - sinAlpha * sinAlpha;
    const double uSq = cosSqAlpha * kAxesSquaredDifferenceM2 / kSemiMinorAxisSquaredM2;

    const double a = 1.0 + uSq / 16384.0 * (4096.0 + uSq * (-768.0 + uSq * (320.0 - 175.0 * uSq)));
    const double b = uSq / 1024.0 * (256.0 + uSq * (-128.0 + uSq * (74.0 - 47.0 * uSq)));

    double sigma = s / (kSemiMinorAxisM * a);
    double sigmaPrev = kTwoPi;
    double cos2SigmaM = 0.0;
    double sinSigma = 0.0;
    double cosSigma = 0.0;
    for (int pass = 0; std::fabs(sigma - sigmaPrev) > kSigmaConvergenceRad && pass < kMaxSigmaPasses; ++pass) {
        cos2SigmaM = std::cos(2.0 * sigma1 + sigma);
        sinSigma = std::sin(sigma);
        cosSigma = std::cos(sigma);
        const double deltaSigma = b * sinSigma * (cos2SigmaM + b / 4.0 * (cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM)
            - b / 6.0 * cos2SigmaM * (-3.0 + 4.0 * sinSigma * sinSigma) * (-3.0 + 4.0 * cos2SigmaM * cos2SigmaM)));
        sigmaPrev = sigma;
        sigma = s / (kSemiMinorAxisM * a) + deltaSigma;
    }

    const double tmp = sinU1 * sinSigma - cosU1 * cosSigma * cosAlpha1;
    const double phi2 = std::atan2(sinU1 * cosSigma + cosU1 * sinSigma * cosAlpha1,
                                   kOneMinusFlattening * std::sqrt(sinAlpha * sinAlpha + tmp * tmp));
    const double lambda = std::atan2(sinSigma * sinAlpha1, cosU1 * cosSigma - sinU1 * sinSigma * cosAlpha1);
    const double c = kFlatteningOver16 * cosSqAlpha * (4.0 + kFlattening * (4.0 - 3.0 * cosSqAlpha));
    const double l = lambda - (1.0 - c) * kFlattening * sinAlpha
        * (sigma + c * sinSigma * (cos2SigmaM + c * cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM)));
    // fmod keeps the sign of its argument, which a huge westward L makes negative.
    double shifted = std::fmod(lambda1 + l + kThreePi, kTwoPi);
    if (shifted < 0.0) shifted += kTwoPi;
    const double lambda2 = shifted - kPi;
    const double alpha2 = std::atan2(sinAlpha, -tmp);

    latOutDeg = phi2 * kDegPerHalfTurn / kPi;
    lonOutDeg = lambda2 * kDegPerHalfTurn / kPi;
    courseDeg = std::fmod(alpha2 * kDegPerHalfTurn / kPi + kFullCircleDeg, kFullCircleDeg);
}
