// Previews through WIC: the formats albums carry, the fitted size, transparency on white.

#include <gtest/gtest.h>
#include <windows.h>

#include <wincodec.h>

#include <array>

#include "platform/win32/wicpictureservice.h"
#include "tests/webview/webviewtestutil.h"

namespace {

using testsupport::Bytes;

// A 24-bit bottom-up BMP of one colour (B, G, R).
Bytes Bmp(std::uint32_t width, std::uint32_t height, std::array<std::uint8_t, 3> bgr) {
  const std::uint32_t stride = (width * 3 + 3) & ~3u;
  const std::uint32_t imageSize = stride * height;
  Bytes out = testsupport::BytesOf("BM");
  // The file header after "BM", then the info header: each field's value and width in bytes.
  const std::pair<std::uint32_t, int> fields[] = {
      {54 + imageSize, 4}, {0, 4},    {54, 4}, {40, 4}, {width, 4},
      {height, 4},         {1, 2},    {24, 2}, {0, 4},  {imageSize, 4},
      {2835, 4},           {2835, 4}, {0, 4},  {0, 4}};
  for (const auto& [value, bytes] : fields) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  for (std::uint32_t row = 0; row < height; ++row) {
    for (std::uint32_t x = 0; x < width; ++x) out.insert(out.end(), bgr.begin(), bgr.end());
    out.insert(out.end(), stride - width * 3, 0);
  }
  return out;
}

struct Decoded {
  GUID container{};
  UINT width = 0;
  UINT height = 0;
  std::array<BYTE, 4> firstPixel{};  // B, G, R, A
};

// Reads a preview back through WIC; nothing when there is no preview or it cannot be read.
std::optional<Decoded> Decode(const std::optional<Bytes>& bytes) {
  std::optional<Decoded> result;
  if (!bytes) return result;
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  Decoded decoded;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes->data()),
                                             static_cast<DWORD>(bytes->size()))) &&
      SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                 &decoder)) &&
      SUCCEEDED(decoder->GetContainerFormat(&decoded.container)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) &&
      SUCCEEDED(frame->GetSize(&decoded.width, &decoded.height)) &&
      SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
      SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                      nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
    const WICRect first{0, 0, 1, 1};
    if (SUCCEEDED(converter->CopyPixels(&first, 4, 4, decoded.firstPixel.data()))) result = decoded;
  }
  for (IUnknown* object :
       std::initializer_list<IUnknown*>{converter, frame, decoder, stream, factory}) {
    if (object != nullptr) object->Release();
  }
  return result;
}

struct WicPictureService : ::testing::Test {
  WicPictureService() { CoInitialize(nullptr); }
  ~WicPictureService() override { CoUninitialize(); }
  platform::win32::WicPictureService service;
};

TEST_F(WicPictureService, MakesFittedJpegPreviewsOfBmpGifAndJpeg) {
  const std::array<std::uint8_t, 12> palette = {0, 0, 255, 255, 0, 0, 0, 255, 0, 0, 0, 0};
  const Bytes bmp = Bmp(500, 250, {0, 0, 255});
  const auto jpegSource = webview::MakePreview(service, Bmp(400, 800, {255, 0, 0}));
  ASSERT_TRUE(jpegSource);
  struct Case {
    const char* what;
    Bytes picture;
    UINT width;
    UINT height;
  };
  const std::vector<Case> cases = {
      {"BMP wider than the box", bmp, 250, 125},
      {"GIF smaller than the box",
       webview::testing::Gif(40, 20, palette, [](int, int) { return 0; }), 40, 20},
      {"JPEG taller than the box", *jpegSource, 125, 250},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto decoded = Decode(webview::MakePreview(service, c.picture));
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(IsEqualGUID(decoded->container, GUID_ContainerFormatJpeg));
    EXPECT_EQ(decoded->width, c.width);
    EXPECT_EQ(decoded->height, c.height);
  }
  // The colour survives (BMP red, at full quality).
  const auto decoded = Decode(webview::MakePreview(service, bmp));
  ASSERT_TRUE(decoded);
  EXPECT_GE(decoded->firstPixel[2], 240);
  EXPECT_LE(decoded->firstPixel[0], 15);
}

TEST_F(WicPictureService, TransparentGifPartsBecomeWhite) {
  // Colour 3 is black and see-through.
  const std::array<std::uint8_t, 12> palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
  const Bytes gif = webview::testing::Gif(
      16, 16, palette, [](int, int) { return 3; }, 3);
  const auto decoded = Decode(webview::MakePreview(service, gif));
  ASSERT_TRUE(decoded);
  for (std::size_t channel = 0; channel < 3; ++channel)
    EXPECT_GE(decoded->firstPixel[channel], 245) << channel;
}

TEST_F(WicPictureService, RefusesWhatIsNoPicture) {
  EXPECT_FALSE(webview::MakePreview(service, testsupport::BytesOf("PIC 10 10")));
  EXPECT_FALSE(webview::MakePreview(service, {}));
}

}  // namespace
