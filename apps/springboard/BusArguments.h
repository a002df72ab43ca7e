#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>

// The arguments of a method call read into C++ values, in the order of its D-Bus signature, which
// follows from their types: double "d", bool "b", int32_t "i", int64_t "x", std::string "s".
namespace BusArguments {

template <typename T>
    requires(std::is_same_v<T, double> || std::is_same_v<T, bool> || std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>
        || std::is_same_v<T, std::string>)
constexpr char code()
{
    if constexpr (std::is_same_v<T, double>)
        return 'd';
    else if constexpr (std::is_same_v<T, bool>)
        return 'b';
    else if constexpr (std::is_same_v<T, int32_t>)
        return 'i';
    else if constexpr (std::is_same_v<T, int64_t>)
        return 'x';
    else
        return 's';
}

// How sd-bus hands the value over: a boolean as an int, a string as a pointer into the message.
template <typename T>
using Wire = std::conditional_t<std::is_same_v<T, bool>, int, std::conditional_t<std::is_same_v<T, std::string>, const char*, T>>;

template <typename T>
T fromWire(Wire<T> wire)
{
    if constexpr (std::is_same_v<T, bool>)
        return wire != 0;
    else if constexpr (std::is_same_v<T, std::string>)
        return wire ? std::string(wire) : std::string();
    else
        return wire;
}

// sd_bus_message_read's result: negative when the call does not carry such arguments.
template <typename... T>
int read(sd_bus_message* call, T&... values)
{
    static const char signature[] = { code<T>()..., '\0' };
    std::tuple<Wire<T>...> wire {};
    int r = std::apply([&](auto&... fields) { return sd_bus_message_read(call, signature, &fields...); }, wire);
    if (r < 0)
        return r;
    std::apply([&](const auto&... fields) { ((values = fromWire<T>(fields)), ...); }, wire);
    return r;
}

}
