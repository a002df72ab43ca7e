#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

// Plain values written one after the other in the machine's own byte order, for files that only
// this machine reads back (caches). Strings carry their length.
class ByteWriter {
public:
    template<class T>
        requires std::is_arithmetic_v<T>
    void put(T value)
    {
        m_bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void put(std::string_view text)
    {
        put<uint32_t>(static_cast<uint32_t>(text.size()));
        m_bytes.append(text);
    }
    void putRaw(std::string_view bytes) { m_bytes.append(bytes); }

    const std::string& bytes() const { return m_bytes; }
    std::string take() { return std::move(m_bytes); }

private:
    std::string m_bytes;
};

// Reads what a ByteWriter wrote. Every read is checked against the end: a short or damaged input
// makes the reader fail (ok() false, zeros and empty strings from then on), never read beyond.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : m_bytes(bytes) { }

    template<class T>
        requires std::is_arithmetic_v<T>
    T get()
    {
        T value {};
        if (!has(sizeof value))
            return value;
        std::memcpy(&value, m_bytes.data() + m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    std::string_view getText()
    {
        auto size = get<uint32_t>();
        if (!has(size))
            return {};
        std::string_view text = m_bytes.substr(m_at, size);
        m_at += size;
        return text;
    }
    // A count of items of at least minimumSize bytes each: more than the rest could hold fails.
    uint32_t getCount(size_t minimumSize)
    {
        auto count = get<uint32_t>();
        if (m_ok && minimumSize > 0 && count > (m_bytes.size() - m_at) / minimumSize)
            m_ok = false;
        return m_ok ? count : 0;
    }

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_bytes.size(); }
    size_t offset() const { return m_at; }

private:
    bool has(size_t size)
    {
        if (m_ok && size <= m_bytes.size() - m_at)
            return true;
        m_ok = false;
        return false;
    }

    std::string_view m_bytes;
    size_t m_at { 0 };
    bool m_ok { true };
};
