"""Reads the structure of a JPEG/JFIF file: its markers, the JFIF header, the
frame and its components, the quantisation tables."""
import struct

SOI, EOI, SOS = 0xD8, 0xD9, 0xDA


def segments(data):
    """(marker, payload) pairs up to the first scan, then ('SOS', ...)."""
    if data[:2] != b"\xff\xd8":
        raise AssertionError("not a JPEG: no SOI marker")
    pos, out = 2, []
    while pos < len(data):
        if data[pos] != 0xFF:
            raise AssertionError(f"marker expected at {pos}")
        marker = data[pos + 1]
        if marker == 0xFF:
            pos += 1
            continue
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        out.append((marker, data[pos + 4:pos + 2 + length]))
        pos += 2 + length
        if marker == SOS:
            break
    return out


def describe(data):
    info = {"markers": [], "quant": {}}
    for marker, payload in segments(data):
        info["markers"].append(marker)
        if marker == 0xE0 and payload[:5] == b"JFIF\0":
            info["jfif"] = {"version": (payload[5], payload[6]), "units": payload[7],
                            "density": struct.unpack(">HH", payload[8:12])}
        elif marker == 0xDB:
            pos = 0
            while pos < len(payload):
                precision, table = payload[pos] >> 4, payload[pos] & 15
                size = 128 if precision else 64
                info["quant"][table] = list(payload[pos + 1:pos + 1 + size])
                pos += 1 + size
        elif marker in (0xC0, 0xC1, 0xC2, 0xC3):
            precision, height, width, count = struct.unpack(">BHHB", payload[:6])
            comps = [tuple(payload[6 + 3 * i:9 + 3 * i]) for i in range(count)]
            info["frame"] = {"marker": marker, "precision": precision, "width": width, "height": height,
                             "components": [(c[0], c[1], c[2]) for c in comps]}
        elif marker == SOS:
            info["scan_components"] = payload[0]
    info["ends_with_eoi"] = data.endswith(b"\xff\xd9")
    return info


# libjpeg's standard luminance table (zig-zag order, as stored) at quality 50.
STD_LUMINANCE_ZIGZAG = [
    16, 11, 12, 14, 12, 10, 16, 14, 13, 14, 18, 17, 16, 19, 24, 40, 26, 24, 22, 22, 24, 49, 35, 37, 29, 40, 58,
    51, 61, 60, 57, 51, 56, 55, 64, 72, 92, 78, 64, 68, 87, 69, 55, 56, 80, 109, 81, 87, 95, 98, 103, 104, 103,
    62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99]


def luminance_table_for_quality(quality):
    quality = min(max(quality, 1), 100)
    scale = 5000 // quality if quality < 50 else 200 - quality * 2
    return [min(max((v * scale + 50) // 100, 1), 255) for v in STD_LUMINANCE_ZIGZAG]


def check_baseline_jfif(data, width, height, quality):
    """Raises AssertionError naming the first property the file lacks."""
    info = describe(data)
    frame = info.get("frame")
    assert frame, "no frame header"
    assert frame["marker"] == 0xC0, f"not baseline (SOF{frame['marker'] - 0xC0})"
    assert frame["precision"] == 8, "not 8-bit samples"
    assert (frame["width"], frame["height"]) == (width, height), f"size {frame['width']}x{frame['height']}"
    assert frame["components"] == [(1, 0x22, 0), (2, 0x11, 1), (3, 0x11, 1)], f"components {frame['components']}"
    assert info.get("scan_components") == 3, "not one interleaved scan"
    jfif = info.get("jfif")
    assert jfif == {"version": (1, 1), "units": 0, "density": (1, 1)}, f"JFIF header {jfif}"
    extra = [m for m in info["markers"] if m == 0xFE or m == 0xDD or (0xE1 <= m <= 0xEF)]
    assert not extra, f"unexpected markers {[hex(m) for m in extra]}"
    assert info["quant"].get(0) == luminance_table_for_quality(quality), "luminance table is not the quality's"
    assert info["ends_with_eoi"], "no EOI at the end"
    return info
