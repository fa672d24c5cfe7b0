#include "capture/Module_HDMI_Support.h"

#include <cmath>
#include <cstdio>

#include <QLocale>

#include "capture/cls_Capture_HDMI.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace Module_HDMI_Support {

bool Saved_Limit_Fps() { return Read_Ini("capturesettings", "limit_fps", Facts().Ini_file_path, "1") != "0"; }

void Save_Limit_Fps(bool limit) { Write_Ini("capturesettings", "limit_fps", limit ? "1" : "0", Facts().Ini_file_path); }

std::string Rate_Effect_Text(const Media_Type& type, bool limit) {
    if (!type.Has_Format || type.AvgTimePerFrame <= 0) return "The format does not say its rate.";
    const double fps = 1.0e7 / static_cast<double>(type.AvgTimePerFrame);
    const double whole = Round_Half_Even(fps);
    const std::string rate = One_Decimal_Text(fps);
    if (whole < Min_Source_Fps || whole > Max_Source_Fps)
        return rate + " pictures a second is outside " + std::to_string(Min_Source_Fps) + " to " +
               std::to_string(Max_Source_Fps) + ": no recording can be timed from it.";
    const bool capped = limit && whole > 25;
    const bool interlaced =
        cls_Capture_HDMI::Interlaced_Recording(type.Scan, capped ? 25 : static_cast<int32_t>(whole));
    const std::string scan =
        std::string(interlaced ? ", interlaced: reviewed field by field" : ", progressive: reviewed frame by frame") +
        (type.Scan == Scan_Mode::Unknown ? " (the source does not say)." : ".");
    if (capped) return "Recorded at 25 of its " + rate + " pictures a second (the others are dropped)" + scan;
    return "Recorded at its own " + rate + " pictures a second" + scan;
}

double Round_Half_Even(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    // Snap away binary noise so that 2.5 stored as 2.4999999 still counts as a half.
    const double snapped = std::round(scaled * 1e6) / 1e6;
    double r = std::floor(snapped);
    const double frac = snapped - r;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
    return r / scale;
}

std::string One_Decimal_Text(double value) {
    const double v = Round_Half_Even(value, 1);
    char buf[64];
    if (v == std::floor(v))
        std::snprintf(buf, sizeof buf, "%.0f", v);
    else
        std::snprintf(buf, sizeof buf, "%.1f", v);
    std::string text = buf;
    const std::string point = QLocale().decimalPoint().toStdString();
    if (!point.empty() && point != ".") {
        const size_t pos = text.find('.');
        if (pos != std::string::npos) text.replace(pos, 1, point);
    }
    return text;
}

std::string Process_AMT(const Media_Type& type) {
    try {
        if (!type.Has_Format) return "Corrupt data!";
        if (type.AvgTimePerFrame <= 0)
            throw HdxError(HdxErr::DivisionByZero,
                           "Division by zero (AvgTimePerFrame " + std::to_string(type.AvgTimePerFrame) + ")");
        const double fps = 1000.0 / (static_cast<double>(type.AvgTimePerFrame) / 10000.0);
        return std::to_string(type.Width) + "*" + std::to_string(type.Height) + "/" + One_Decimal_Text(fps);
    } catch (const std::exception& e) {
        Report_Exception(e, "Process_AMT of Module Module_HDMI_Support");
        return "";
    }
}

}  // namespace Module_HDMI_Support
