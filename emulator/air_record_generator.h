// Believable air-interface log records at DMR pace: voice calls and idle bursts on two timeslots.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace tavrel::emulator {

// Record layout: byte 0 direction (0 downlink, 1 uplink), bytes 1-4 header value (big-endian),
// byte 5 code, 38 payload bytes.
inline constexpr std::size_t kAirRecordBytes = 44;
inline constexpr std::size_t kAirHeaderBytes = 6;
inline constexpr std::size_t kAirPayloadBytes = kAirRecordBytes - kAirHeaderBytes;
inline constexpr std::size_t kAirBurstBytes = 33;
inline constexpr std::size_t kMaxUdpPayloadBytes = 65507;

// DMR sends one burst every 60 ms per timeslot and direction; two timeslots, downlink and uplink.
inline constexpr double kDmrBurstsPerSecond = 1000.0 / 60.0;
inline constexpr int kAirStreams = 4;
inline constexpr double kDmrAirRecordsPerSecond = kDmrBurstsPerSecond * kAirStreams;

// Code byte: the burst type.
enum class BurstCode : std::uint8_t {
    VoiceHeader = 0x01,
    Terminator = 0x02,
    Csbk = 0x03,
    Idle = 0x09,
    VoiceA = 0x0A, // voice bursts A to F are 0x0A to 0x0F, so the hex code reads as the burst letter
    VoiceF = 0x0F,
};

// Header value: timeslot (1 or 2) in bits 20-23, that slot's burst counter in bits 0-19.
// Payload: bytes 0-32 the 264-bit burst (sync pattern in its middle 48 bits), 33 colour code,
// 34 RSSI in -dBm (0 on the downlink, which the repeater transmits), 35 bit error rate in 0.1 %,
// 36 sync kind (0 embedded, 1 voice sync, 2 data sync), 37 call number.
class AirRecordGenerator {
public:
    explicit AirRecordGenerator(std::uint32_t seed = 2301);

    // The next record in the round downlink TS1, uplink TS1, downlink TS2, uplink TS2, cut or padded
    // (with the byte index) to `size` bytes.
    std::vector<std::uint8_t> next(std::size_t size = kAirRecordBytes);

private:
    struct Slot {
        std::uint32_t counter = 0;
        BurstCode code = BurstCode::Idle;
        int headersLeft = 0;
        int voiceLeft = 0;
        int idleLeft = 0;
        int voiceIndex = 0;
        std::uint32_t source = 0;
        std::uint32_t target = 0;
        std::uint8_t callNumber = 0;
        std::uint8_t rssi = 0;
        std::uint8_t syncKind = 0;
        std::array<std::uint8_t, kAirBurstBytes> burst{};
    };

    void advance(Slot& slot);
    void fillBurst(Slot& slot);
    std::vector<std::uint8_t> build(const Slot& slot, int timeslot, bool uplink);

    std::mt19937 m_random;
    Slot m_slots[2];
    unsigned m_stream = 0;
};

} // namespace tavrel::emulator
