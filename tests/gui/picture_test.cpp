// The command-bar picture: the embedded PNG decodes with libpng to a 225 x 225 palette
// picture of a grey disk, and broken PNG data is refused with a reason instead of pixels.

#include <zlib.h>
#include <QTest>
#include <cstdint>
#include <vector>

#include "shell/window/floppy_picture.h"
#include "shell/window/png_picture.h"

using dw::DecodedPicture;
using dw::DecodePngPicture;
using dw::FloppyPicturePng;

namespace {

std::vector<uint8_t> EmbeddedBytes() {
  auto bytes = FloppyPicturePng();
  return {bytes.begin(), bytes.end()};
}

const uint8_t* Pixel(const DecodedPicture& picture, int x, int y) {
  return &picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4];
}

void AppendChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  auto put32 = [&png](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(v >> shift));
  };
  put32(static_cast<uint32_t>(data.size()));
  const size_t typeAt = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  put32(
      static_cast<uint32_t>(crc32(0, png.data() + typeAt, static_cast<uInt>(png.size() - typeAt))));
}

// A PNG that promises a palette picture of the given size; its pixel data is an empty
// zlib stream.
std::vector<uint8_t> HeaderOnlyPng(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<uint8_t>(v >> shift));
  }
  header.insert(header.end(), {8, 3, 0, 0, 0});
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "PLTE", {0, 0, 0});
  AppendChunk(png, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
  AppendChunk(png, "IEND", {});
  return png;
}

}  // namespace

class PictureTest : public QObject {
  Q_OBJECT

 private slots:
  void embeddedPictureIsA225PalettePng() {
    const std::vector<uint8_t> bytes = EmbeddedBytes();
    QVERIFY(bytes.size() > 8);
    // Colour type 3 (palette) at bit depth 8, straight from the file's header.
    QCOMPARE(bytes[24], uint8_t{8});
    QCOMPARE(bytes[25], uint8_t{3});

    const DecodedPicture picture = DecodePngPicture(bytes);
    QVERIFY2(picture.ok, picture.error.c_str());
    QVERIFY(picture.error.empty());
    QCOMPARE(picture.width, 225);
    QCOMPARE(picture.height, 225);
    QVERIFY(picture.paletted);
    QCOMPARE(picture.rgba.size(), size_t{225 * 225 * 4});
  }

  void embeddedPictureShowsAGreyDisk() {
    const DecodedPicture picture = DecodePngPicture(FloppyPicturePng());
    QVERIFY(picture.ok);
    int opaque = 0;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const uint8_t* p = Pixel(picture, x, y);
        if (p[3] == 0) continue;
        QVERIFY2(p[0] == p[1] && p[1] == p[2],
                 qPrintable(QString("colour at %1,%2").arg(x).arg(y)));
        ++opaque;
      }
    }
    // The square jacket covers most of the picture; corners and the hub hole stay clear.
    QVERIFY(opaque > 225 * 225 * 6 / 10);
    QCOMPARE(Pixel(picture, 0, 0)[3], uint8_t{0});
    QCOMPARE(Pixel(picture, 224, 224)[3], uint8_t{0});
    QCOMPARE(Pixel(picture, 112, 112)[3], uint8_t{0});
    QCOMPARE(Pixel(picture, 60, 150)[3], uint8_t{255});
  }

  void truncatedDataIsRefused_data() {
    QTest::addColumn<int>("keep");
    QTest::newRow("signature only") << 8;
    QTest::newRow("header only") << 33;
    QTest::newRow("half") << static_cast<int>(FloppyPicturePng().size() / 2);
    QTest::newRow("pixel chunk cut by one byte")
        << static_cast<int>(FloppyPicturePng().size() - 13);
  }

  void truncatedDataIsRefused() {
    QFETCH(int, keep);
    std::vector<uint8_t> bytes = EmbeddedBytes();
    bytes.resize(static_cast<size_t>(keep));
    const DecodedPicture picture = DecodePngPicture(bytes);
    QVERIFY(!picture.ok);
    QVERIFY(!picture.error.empty());
    QVERIFY(picture.rgba.empty());
    QCOMPARE(picture.width, 0);
  }

  void missingEndChunkStillGivesTheWholePicture() {
    // The pixels are complete before the end chunk; libpng takes them.
    std::vector<uint8_t> bytes = EmbeddedBytes();
    bytes.resize(bytes.size() - 12);
    const DecodedPicture picture = DecodePngPicture(bytes);
    QVERIFY2(picture.ok, picture.error.c_str());
    QCOMPARE(picture.rgba, DecodePngPicture(FloppyPicturePng()).rgba);
  }

  void garbageIsRefusedWithAReason() {
    const DecodedPicture empty = DecodePngPicture({});
    QVERIFY(!empty.ok);
    QCOMPARE(empty.error, std::string("PNG data is empty"));

    std::vector<uint8_t> noise(500);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37 + 11);
    const DecodedPicture garbage = DecodePngPicture(noise);
    QVERIFY(!garbage.ok);
    QVERIFY(garbage.error.rfind("PNG header unreadable: ", 0) == 0);
    QVERIFY(garbage.error.size() > std::string("PNG header unreadable: ").size());
    QVERIFY(garbage.rgba.empty());
  }

  void damagedPixelDataIsRefused() {
    std::vector<uint8_t> bytes = EmbeddedBytes();
    // Flip a byte in the middle of the compressed pixels; the chunk's checksum no longer fits.
    bytes[bytes.size() / 2] ^= 0x5A;
    const DecodedPicture picture = DecodePngPicture(bytes);
    QVERIFY(!picture.ok);
    QVERIFY(!picture.error.empty());
    QVERIFY(picture.rgba.empty());
  }

  void hugePictureIsRefusedBeforeDecoding() {
    const DecodedPicture large = DecodePngPicture(HeaderOnlyPng(5000, 5000));
    QVERIFY(!large.ok);
    QVERIFY2(large.error == "PNG size out of range: 5000 x 5000", large.error.c_str());
    QVERIFY(large.rgba.empty());
    // Past libpng's own limit the header itself is refused.
    const DecodedPicture huge = DecodePngPicture(HeaderOnlyPng(2000000, 2000000));
    QVERIFY(!huge.ok);
    QVERIFY2(huge.error.rfind("PNG header unreadable: ", 0) == 0, huge.error.c_str());

    // Within range but without pixels: refused while reading them.
    const DecodedPicture hollow = DecodePngPicture(HeaderOnlyPng(4, 4));
    QVERIFY(!hollow.ok);
    QVERIFY2(hollow.error.rfind("PNG data unreadable: ", 0) == 0, hollow.error.c_str());
    QVERIFY(hollow.rgba.empty());
  }
};

QTEST_APPLESS_MAIN(PictureTest)
#include "picture_test.moc"
