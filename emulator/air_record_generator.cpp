// Air-log record content: a small call model per timeslot and the burst bytes it produces.
#include "emulator/air_record_generator.h"

#include <algorithm>
#include <array>

namespace tavrel::emulator {
namespace {

constexpr std::uint64_t kVoiceSync = 0x755FD7DF75F7;
constexpr std::uint64_t kDataSync = 0xDFF57D75DF5D;
constexpr int kSyncBitOffset = 108;
constexpr int kSyncBits = 48;
constexpr int kVoiceBurstsPerSuperframe = 6;
constexpr std::uint8_t kColourCode = 1;
constexpr std::uint8_t kNoiseRssi = 125;

enum PayloadIndex { kColourIndex = 33, kRssiIndex, kBerIndex, kSyncKindIndex, kCallIndex };

void putBits(std::uint8_t* bytes, int bitOffset, std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
        const int bit = bitOffset + i;
        const auto mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
        if ((value >> (count - 1 - i)) & 1)
            bytes[bit / 8] |= mask;
        else
            bytes[bit / 8] &= static_cast<std::uint8_t>(~mask);
    }
}

int randomIn(std::mt19937& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

} // namespace

AirRecordGenerator::AirRecordGenerator(std::uint32_t seed) : m_random(seed) {
    for (auto& slot : m_slots)
        slot.idleLeft = randomIn(m_random, 10, 40);
}

void AirRecordGenerator::advance(Slot& slot) {
    ++slot.counter;
    if (slot.headersLeft > 0) {
        slot.code = BurstCode::VoiceHeader;
        --slot.headersLeft;
    } else if (slot.voiceLeft > 0) {
        slot.code = static_cast<BurstCode>(static_cast<int>(BurstCode::VoiceA) + slot.voiceIndex);
        slot.voiceIndex = (slot.voiceIndex + 1) % kVoiceBurstsPerSuperframe;
        if (--slot.voiceLeft == 0)
            slot.idleLeft = -1; // the terminator comes next
    } else if (slot.idleLeft < 0) {
        slot.code = BurstCode::Terminator;
        slot.idleLeft = randomIn(m_random, 15, 80);
    } else if (slot.idleLeft > 0) {
        // Now and then a control burst on an idle slot, as registrations and pings do.
        slot.code = randomIn(m_random, 0, 19) == 0 ? BurstCode::Csbk : BurstCode::Idle;
        --slot.idleLeft;
    } else {
        // A new call of 2 to 6 seconds: three headers, then whole voice superframes, then a terminator.
        slot.headersLeft = 2;
        slot.code = BurstCode::VoiceHeader;
        slot.voiceLeft = kVoiceBurstsPerSuperframe * randomIn(m_random, 6, 17);
        slot.voiceIndex = 0;
        slot.source = static_cast<std::uint32_t>(randomIn(m_random, 2300001, 2309999));
        slot.target = static_cast<std::uint32_t>(randomIn(m_random, 1, 99));
        slot.rssi = static_cast<std::uint8_t>(randomIn(m_random, 60, 110));
        ++slot.callNumber;
    }
    fillBurst(slot);
}

void AirRecordGenerator::fillBurst(Slot& slot) {
    const bool voice = slot.code >= BurstCode::VoiceA && slot.code <= BurstCode::VoiceF;
    if (slot.code == BurstCode::VoiceHeader || slot.code == BurstCode::Terminator) {
        // Full link control in the clear: group voice, service options, target and source id.
        slot.burst.fill(0);
        const std::array<std::uint32_t, 3> lc{0x000020, slot.target, slot.source};
        for (std::size_t i = 0; i < lc.size(); ++i)
            for (int b = 0; b < 3; ++b)
                slot.burst[3 * i + b] = static_cast<std::uint8_t>(lc[i] >> (16 - 8 * b));
    } else if (slot.code == BurstCode::Idle) {
        slot.burst.fill(0x5A);
    } else {
        for (auto& byte : slot.burst)
            byte = static_cast<std::uint8_t>(randomIn(m_random, 0, 255));
    }
    slot.syncKind = 0;
    if (slot.code == BurstCode::VoiceA) {
        putBits(slot.burst.data(), kSyncBitOffset, kVoiceSync, kSyncBits);
        slot.syncKind = 1;
    } else if (!voice) {
        putBits(slot.burst.data(), kSyncBitOffset, kDataSync, kSyncBits);
        slot.syncKind = 2;
    }
}

std::vector<std::uint8_t> AirRecordGenerator::build(const Slot& slot, int timeslot, bool uplink) {
    std::vector<std::uint8_t> record(kAirRecordBytes, 0);
    record[0] = uplink ? 1 : 0;
    const std::uint32_t header = (static_cast<std::uint32_t>(timeslot) << 20) | (slot.counter & 0xFFFFF);
    for (int i = 0; i < 4; ++i)
        record[1 + i] = static_cast<std::uint8_t>(header >> (24 - 8 * i));
    record[5] = static_cast<std::uint8_t>(slot.code);

    std::uint8_t* payload = record.data() + kAirHeaderBytes;
    std::copy(slot.burst.begin(), slot.burst.end(), payload);
    const bool inCall = slot.code != BurstCode::Idle && slot.code != BurstCode::Csbk;
    payload[kColourIndex] = kColourCode;
    payload[kRssiIndex] = !uplink ? 0 : (inCall ? slot.rssi : kNoiseRssi);
    payload[kBerIndex] = uplink && inCall ? static_cast<std::uint8_t>(randomIn(m_random, 0, 30)) : 0;
    payload[kSyncKindIndex] = slot.syncKind;
    payload[kCallIndex] = slot.callNumber;
    return record;
}

std::vector<std::uint8_t> AirRecordGenerator::next(std::size_t size) {
    const unsigned stream = m_stream;
    m_stream = (m_stream + 1) % kAirStreams;
    const int slotIndex = static_cast<int>(stream / 2);
    const bool uplink = stream % 2 == 1;
    Slot& slot = m_slots[slotIndex];
    // The downlink of a slot moves its call forward; the uplink record that follows shows the same burst
    // as received, since the repeater repeats what it hears.
    if (!uplink)
        advance(slot);
    auto record = build(slot, slotIndex + 1, uplink);
    const std::size_t built = record.size();
    record.resize(size);
    for (std::size_t i = built; i < size; ++i)
        record[i] = static_cast<std::uint8_t>(i);
    return record;
}

} // namespace tavrel::emulator
