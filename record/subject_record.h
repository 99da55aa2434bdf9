// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// A day of the calendar; year 0 means none.
struct CalendarDate {
    int32_t year = 0;
    int32_t month = 0; // 1..12
    int32_t day = 0;   // 1..31
    [[nodiscard]] bool empty() const { return year == 0; }
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// Who was tested and under which conditions, kept beside AnalysisState. It belongs to one
// analysis, not to the program's settings. Texts are UTF-8.
struct SubjectRecord {
    enum class Sex : uint8_t { Unrecorded, Male, Female, Other };
    enum class Stance : uint8_t { BothFeet, SemiTandem, Tandem, SingleRight, SingleLeft };
    enum class Vision : uint8_t { EyesOpen, EyesClosed };
    enum class Surface : uint8_t { Firm, Foam };

    std::string name;
    std::string id;
    CalendarDate birthDate;
    Sex sex = Sex::Unrecorded;
    CalendarDate testDate;
    std::string examiner;
    Stance stance = Stance::BothFeet;
    Vision vision = Vision::EyesOpen;
    Surface surface = Surface::Firm;
    std::string memo; // several lines, "\n" between them

    friend bool operator==(const SubjectRecord&, const SubjectRecord&) = default;
};
