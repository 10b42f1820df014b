"""Pictures for the Wine suite: the known screen pattern, and readers for the
BMP the clipboard gives, the PPM djpeg writes and the JPEG kwpshot writes."""
import struct


def pattern_pixel(x, y):
    """A smooth picture in which every pixel of a 1920x1080 screen differs."""
    return (x & 255, y & 255, (x >> 8) * 32 + (y >> 8) * 4)


def pattern_rows(left, top, width, height):
    """Rows of (r, g, b) bytes of the pattern's (left, top, width, height)."""
    rows = []
    for y in range(top, top + height):
        row = bytearray()
        for x in range(left, left + width):
            row += bytes(pattern_pixel(x, y))
        rows.append(bytes(row))
    return rows


def write_ppm(path, rows, width):
    with open(path, "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (width, len(rows)))
        for row in rows:
            out.write(row)


def read_ppm(data):
    """(width, height, rows of RGB bytes) of a binary PPM (P6, maxval 255)."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not a 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    stride = width * 3
    return width, height, [data[pos + y * stride:pos + (y + 1) * stride] for y in range(height)]


def read_bmp(data):
    """(width, height, rows of RGB bytes, top row first) of an uncompressed or
    bit-field BMP at 24 or 32 bits per pixel."""
    if data[:2] != b"BM":
        raise ValueError("not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    header_size, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if bits not in (24, 32) or compression not in (0, 3):
        raise ValueError("BMP of %d bits, compression %d" % (bits, compression))
    masks = (0xFF0000, 0x00FF00, 0x0000FF)
    if compression == 3:
        # Right after a 40-byte header, and at the same place inside a larger one.
        masks = struct.unpack_from("<III", data, 14 + 40)
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    stride = (width * bits // 8 + 3) & ~3
    rows = []
    for i in range(abs(height)):
        y = abs(height) - 1 - i if height > 0 else i
        start = offset + y * stride
        row = bytearray()
        for x in range(width):
            if bits == 24:
                b, g, r = data[start + x * 3:start + x * 3 + 3]
            else:
                word = struct.unpack_from("<I", data, start + x * 4)[0]
                r, g, b = ((word & m) >> s for m, s in zip(masks, shifts))
            row += bytes((r, g, b))
        rows.append(bytes(row))
    return width, abs(height), rows


def jpeg_markers(data):
    """[(marker, payload)] of a JPEG up to its first scan, plus the SOS."""
    if data[:2] != b"\xff\xd8":
        raise ValueError("no SOI")
    markers = []
    pos = 2
    while pos < len(data):
        if data[pos] != 0xFF:
            raise ValueError("garbage at %d" % pos)
        marker = data[pos + 1]
        length = struct.unpack_from(">H", data, pos + 2)[0]
        markers.append((marker, data[pos + 4:pos + 2 + length]))
        pos += 2 + length
        if marker == 0xDA:
            break
    return markers


def jpeg_problems(data, width, height):
    """What in the JPEG differs from the required form: baseline, JFIF 1.01
    with density unit 0 and density 1:1, 2x2 luminance sampling, standard
    tables, no restart interval, no comments or other application markers."""
    problems = []
    markers = jpeg_markers(data)
    kinds = [m for m, _ in markers]
    if kinds[0] != 0xE0:
        problems.append("first marker is not APP0")
    else:
        app0 = markers[0][1]
        if app0[:5] != b"JFIF\0":
            problems.append("APP0 is not JFIF")
        elif tuple(app0[5:7]) != (1, 1) or app0[7] != 0 or struct.unpack(">HH", app0[8:12]) != (1, 1):
            problems.append("JFIF header %r" % app0[5:12])
    extra = [hex(m) for m in kinds if (0xE1 <= m <= 0xEF) or m in (0xFE, 0xDD)]
    if extra:
        problems.append("unexpected markers %s" % extra)
    frames = [p for m, p in markers if 0xC0 <= m <= 0xCF and m not in (0xC4, 0xC8, 0xCC)]
    if kinds.count(0xC0) != 1 or len(frames) != 1:
        problems.append("not one baseline frame: %s" % [hex(m) for m in kinds])
    else:
        frame = frames[0]
        precision, h, w, count = struct.unpack_from(">BHHB", frame)
        components = [tuple(frame[6 + i * 3:9 + i * 3]) for i in range(count)]
        if (precision, w, h) != (8, width, height):
            problems.append("frame %d bits %dx%d" % (precision, w, h))
        if components != [(1, 0x22, 0), (2, 0x11, 1), (3, 0x11, 1)]:
            problems.append("components %s" % components)
    if kinds[-1] != 0xDA:
        problems.append("no scan")
    return problems


def mean_difference(rows_a, rows_b):
    total = count = 0
    for a, b in zip(rows_a, rows_b):
        total += sum(abs(p - q) for p, q in zip(a, b))
        count += len(a)
    return total / max(count, 1)
