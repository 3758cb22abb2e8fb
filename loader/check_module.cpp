// Reading a module for its findings: what the readers mend or notice, and what the song's own
// commands do that will not play as written (jumps outside the song, a tempo of 0).
#include "loader/effect_commands.h"
#include "loader/module_reading.h"

namespace {

constexpr uint32_t kVersionOffset = 3;  // the byte after the three magic bytes

void ReportRefusal(const FindingSink& sink, const ModuleProbe& probe) {
    const uint32_t offset = probe.status == LoadStatus::kUnsupportedVersion ? kVersionOffset : 0;
    ModuleFinding finding = FindingAt(FindingKind::kRefused, FileSection::kHeader, offset);
    finding.refusal = probe.status;
    finding.found = static_cast<int32_t>(probe.foundValue);
    finding.used = static_cast<int32_t>(probe.limitValue);
    Report(&sink, finding);
}

ModuleFinding StepFinding(FindingKind kind, uint32_t position, uint32_t row, uint32_t channel, uint32_t track) {
    ModuleFinding finding = FindingAt(kind, FileSection::kTracks, kNowhere);
    finding.position = position;
    finding.row = row;
    finding.channel = channel;
    finding.track = track;
    return finding;
}

// Each row of each position as the replay meets it: channels in order, command 1 before command 2,
// the hundreds of a jump carried until a jump or break uses them. Rows are looked at even when an
// earlier jump leaves them, since a break from another position may enter there.
void CheckCommands(const Tune& tune, const FindingSink& sink) {
    const uint32_t channels = VoicesInUse(&tune);
    for (uint32_t p = 0; p < tune.positionCount; ++p) {
        const Position& position = tune.positions[p];
        int32_t pendingPosition = 0;
        for (uint32_t row = 0; row < tune.trackLength; ++row) {
            bool positionChanges = false;
            int32_t tempo = -1;  // not set in this row
            uint32_t tempoChannel = 0;
            for (uint32_t c = 0; c < channels; ++c) {
                const Step& step = tune.tracks[position.track[c]].steps[row];
                const uint8_t commands[2][2] = {{step.command1, step.param1}, {step.command2, step.param2}};
                for (const auto& [command, param] : commands) {
                    const uint8_t hundreds = param & 0x0F;
                    if (command == kStepPositionHundreds && hundreds >= 1 && hundreds <= 9) pendingPosition = hundreds;
                    if (command == kStepTrackBreak) {
                        pendingPosition = static_cast<int32_t>(p) + 1;
                        positionChanges = true;
                    }
                    if (command == kStepTempo) {
                        tempo = param;
                        tempoChannel = c;
                    }
                    if (command != kStepPositionJump) continue;
                    // The replay keeps the target in 16 bits.
                    const auto target = static_cast<int16_t>(pendingPosition * 100 + DecimalParam(param));
                    pendingPosition = target;
                    positionChanges = true;
                    if (target >= 0 && target < tune.positionCount) continue;
                    ModuleFinding finding = StepFinding(FindingKind::kJumpBeyondEnd, p, row, c, position.track[c]);
                    finding.found = target;
                    finding.used = tune.restartPosition;
                    Report(&sink, finding);
                }
            }
            if (tempo == 0) {
                Report(&sink, StepFinding(FindingKind::kTempoZero, p, row, tempoChannel, position.track[tempoChannel]));
            }
            if (positionChanges) pendingPosition = 0;
        }
    }
}

}  // namespace

LoadStatus CheckModule(const uint8_t* bytes, uint32_t byteCount, const FindingSink& sink) {
    const ModuleProbe header = ProbeModule(bytes, byteCount);
    if (header.status != LoadStatus::kLoaded) {
        ReportRefusal(sink, header);
        return header.status;  // refused on its header alone
    }
    ModuleProbe outcome{};
    Tune* tune = ReadModule(LayoutOf(header.format), bytes, byteCount, 0, kStandardMixFrequency, &outcome, &sink);
    if (tune == nullptr) {
        // A truncation has been reported with the section it happened in.
        if (outcome.status != LoadStatus::kTruncated) ReportRefusal(sink, outcome);
        return outcome.status;
    }
    CheckCommands(*tune, sink);
    FreeTune(tune);
    return LoadStatus::kLoaded;
}
