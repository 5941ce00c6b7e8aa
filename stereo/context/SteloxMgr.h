// The stereo context of one camera configuration: identity and geometry of a
// calibrated pair of lenses, every rectification, filtering, matching and
// validation setting, the output geometry and the images of the last frame.
//
// The interface reaches a context through the MultiSteloxMgr of a
// SteloxContext. A context has no lock: one call at a time. Copies share the
// rectification manager and the stereo engine, so copies must not process
// frames at the same time either.
#ifndef STELOX_CONTEXT_STELOXMGR_H
#define STELOX_CONTEXT_STELOXMGR_H

#include "calibration/ParseTools.h"
#include "image/Image.h"
#include "match/PreprocessParameters.h"
#include "match/StereoParameters.h"
#include "stelox.h"
#include "ZorTransform3d.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cv {
class StereoBM;
class StereoSGBM;
}  // namespace cv

class SteloxRectifyMgr;
class StereoProcessMgr;
class Rectifier;

class SteloxMgr {
public:
  static constexpr int InvalidLensIndex = -1;
  static constexpr int kLensCount = 2;
  // Widest output a context accepts.
  static constexpr int kMaxOutputCols = 5120;
  // Longest side of a rectified image; larger requests (a caller's typo of a
  // row count, say) are refused rather than allocated.
  static constexpr int kMaxRectifiedSide = 16384;
  static constexpr int kMaxDisparityCount = 4078;
  static constexpr int kMaxDisparity = kMaxDisparityCount + 784;

  // A default context with a new, empty rectification manager and a new
  // stereo engine (whose workers start here).
  SteloxMgr();
  // Shares the rectification manager, the stereo engine, the raw and the
  // disparity images; copies the library's own rectified, edge and colour
  // images (see the .cpp).
  SteloxMgr(const SteloxMgr& other);
  SteloxMgr& operator=(const SteloxMgr&) = delete;
  ~SteloxMgr();

  // ---- Parameters -------------------------------------------------------
  bool getEdgeCorrelation() const { return m_edgeCorrelationOn; }
  void setEdgeCorrelation(bool on) { m_edgeCorrelationOn = on; }
  int getEdgeMask() const { return m_edgeMaskSize; }
  SteloxError setEdgeMask(int size);
  bool getDoStereo() const { return m_doStereoOn; }
  void setDoStereo(bool on) { m_doStereoOn = on; }
  int getStereoMask() const { return m_stereoMaskSize; }
  SteloxError setStereoMask(int size);     // odd, 1 .. 23
  SteloxError setAnyStereoMask(int size);  // 1 or more
  bool getRectify() const { return m_rectifyOn; }
  void setRectify(bool on) { m_rectifyOn = on; }
  bool getTextureValidation() const { return m_textureValidOn; }
  void setTextureValidation(bool on) { m_textureValidOn = on; }
  double getTextureValidationThreshold() const { return m_textureThreshold; }
  SteloxError setTextureValidationThreshold(double threshold);
  unsigned char getTextureValidationMapping() const { return m_textureMapping; }
  void setTextureValidationMapping(unsigned char mapping) { m_textureMapping = mapping; }
  bool getBackForthValidation() const { return m_backForthValidOn; }
  void setBackForthValidation(bool on) { m_backForthValidOn = on; }
  unsigned char getBackForthValidationMapping() const { return m_backForthMapping; }
  void setBackForthValidationMapping(unsigned char mapping) { m_backForthMapping = mapping; }
  unsigned char getSubpixelValidationMapping() const { return m_subpixelMapping; }
  void setSubpixelValidationMapping(unsigned char mapping) { m_subpixelMapping = mapping; }
  bool getSurfaceValidation() const { return m_surfaceValidOn; }
  void setSurfaceValidation(bool on) { m_surfaceValidOn = on; }
  int getSurfaceValidationSize() const { return m_surfaceSize; }
  SteloxError setSurfaceValidationSize(int size);
  double getSurfaceValidationDifference() const { return m_surfaceDifference; }
  SteloxError setSurfaceValidationDifference(double difference);
  unsigned char getSurfaceValidationMapping() const { return m_surfaceMapping; }
  void setSurfaceValidationMapping(unsigned char mapping) { m_surfaceMapping = mapping; }
  bool getSubpixelInterpolation() const { return m_subpixelOn; }
  bool getStrictSubpixel() const { return m_strictSubpixelOn; }
  bool getLowpass() const { return m_lowpassOn; }
  SteloxStereoAlgorithm getStereoAlgorithm() const { return m_stereoAlgorithm; }
  // Any value is stored; the engine refuses unknown ones when stereo runs.
  void setStereoAlgorithm(SteloxStereoAlgorithm algorithm) { m_stereoAlgorithm = algorithm; }

  // Minimum and count of disparities; 15 for a count below 1, 1 for any other
  // range outside the limits (see the .cpp).
  SteloxError setDisparityRange(int minimum, int count);
  SteloxError setMinMaxDisparities(int minimum, int maximum);
  int getMinDisparity() const { return m_minDisparity; }
  int getMaxDisparity() const { return m_maxDisparity; }

  // ---- Identity and geometry --------------------------------------------
  double getBaseline() const { return m_baseline; }
  double getFocalLengthX() const { return m_focalLengthX; }
  double getFocalLengthY() const { return m_focalLengthY; }
  double getImageCenterX() const { return m_imageCenterX; }
  double getImageCenterY() const { return m_imageCenterY; }
  // In pixels of the rectified image.
  double getFocalLength() const { return m_focalLength; }
  double getImageCenterRow() const { return m_imageCenterRow; }
  double getImageCenterCol() const { return m_imageCenterCol; }
  double getCalAspectRatio() const { return m_focalLengthY / m_focalLengthX; }
  int getSerialNumber() const { return m_serialNumber; }
  const std::string& getProductName() const { return m_productName; }
  const std::string& getPartId() const { return m_partId; }
  const std::string& getVersionName() const { return m_versionName; }
  int getLensLayoutKind() const { return m_lensLayoutKind; }
  int getNumberOfLenses() const { return m_numberOfLenses; }
  SteloxCameraConfiguration getCameraConfig() const { return m_cameraConfig; }
  // Values above 1 give SteloxErrorInvalidCameraConfiguration.
  SteloxError setCameraConfig(int configuration);
  const ConfigLines& getConfigLines() const { return m_configLines; }

  int getLensIndex(SteloxCamera camera) const;
  int getRectifyLensIndex(SteloxCamera camera) const;
  int getRightLensIndex() const { return m_lensLayoutKind == 0 ? 0 : InvalidLensIndex; }
  static const char* getLensStr(SteloxCamera camera);
  std::vector<SteloxCamera> getLensContainer() const { return m_lensContainer; }
  void generateLensToRectifierIndex();
  const std::shared_ptr<SteloxRectifyMgr>& getRectifyMgr() const { return m_rectifyMgr; }
  const std::shared_ptr<StereoProcessMgr>& getStereoMgr() const { return m_stereoMgr; }

  // Takes the settings that do not depend on the camera from other.
  void copyDeviceFreeStereoSettings(const SteloxMgr& other);

  // ---- Resolution and region of interest --------------------------------
  SteloxError setResolution(int rows, int cols);
  void getResolution(int& rows, int& cols) const
  {
    rows = m_outputRows;
    cols = m_outputCols;
  }
  SteloxError setSourceResolution(int rows, int cols);
  void getSourceResolution(int& rows, int& cols) const
  {
    rows = m_sourceRows;
    cols = m_sourceCols;
  }
  ImageDim getRectifiedSize() const { return {m_rectifiedRows, m_rectifiedCols}; }
  ImageDim getOutputOffset() const { return {m_offsetRow, m_offsetCol}; }
  SteloxError setRoi(const SteloxROI& roi);
  SteloxROI getRoi() const { return m_roi; }
  void setRoiOn(bool on) { m_roiOn = on; }
  bool getRoiOn() const { return m_roiOn; }
  bool hasCalibratedSensorRoi() const { return m_calibratedRoiOn; }
  ImageROI getCalibratedSensorRoi() const { return m_calibratedRoi; }
  SteloxError getOptimalNumRows(int cols, int& rows) const;
  SteloxError getOptimalNumColumns(int rows, int& cols) const;

  // ---- Frame path -------------------------------------------------------
  SteloxError prepareRectificationData(int rows, int cols, int sourceRows, int sourceCols);
  SteloxError rectify(const SteloxMonoStereoPair& pair);
  SteloxError colorRectify(const SteloxColorStereoPair& pair);
  SteloxError rectifyColorImage(SteloxCamera camera, const SteloxColorStereoPair& pair,
                                SteloxColorImage& out);
  SteloxError stereo();

  SteloxError checkResolutions() const;
  bool determineLowpass();
  SteloxError buildWarpers();
  // Refill the records handed to the stereo engine.
  void savePreprocessParameters();
  void saveStereoParameters();
  const Stelox::PreprocessParameters& getPreprocessParameters() const { return m_preprocessParameters; }
  const Stelox::StereoParameters& getStereoParameters() const { return m_stereoParameters; }

  // ---- Images, caller buffers, pixel conversion -------------------------
  SteloxError getImage(SteloxImageType type, SteloxCamera camera, SteloxImage& out) const;
  SteloxError getImage16(SteloxImage16Type type, SteloxCamera camera, SteloxImage16& out) const;
  SteloxError getColorImage(SteloxColorImageType type, SteloxCamera camera,
                            SteloxColorImage& out) const;
  // A null buffer gives the image back to the library.
  SteloxError setImageBuffer(unsigned char* buffer, SteloxImageType type, SteloxCamera camera);
  SteloxError setImage16Buffer(unsigned short* buffer, SteloxImage16Type type, SteloxCamera camera);
  SteloxError setColorImageBuffer(SteloxColorPixel* buffer, SteloxCamera camera);
  SteloxError rectifyPixel(SteloxCamera camera, float row, float col, float& rectRow,
                           float& rectCol) const;
  SteloxError unrectifyPixel(SteloxCamera camera, float rectRow, float rectCol, float& row,
                             float& col) const;

  // Internal views for tests and tools.
  const Image<unsigned char>& rectifiedImage(int lens) const { return m_rectified[lens].image; }
  const Image<unsigned char>& edgeImage(int lens) const { return m_edge[lens].image; }
  const Image<unsigned short>& disparityImage() const { return m_disparity; }

  // ---- Context files ----------------------------------------------------
  // Current settings with the loaded calibration; 34 when a section fails.
  SteloxError saveToFile(std::FILE* stream) const;
  // The loaded calibration lines as they were; 34 without lines.
  SteloxError saveDefaultToFile(std::FILE* stream) const;
  // The first stored line whose first word is token, or null.
  const std::string* getLineForToken(const char* token, bool ignoreCase = true) const;

  // ---- Stereo pairs from side-by-side image files -----------------------
  // The left half of the file's image becomes the pair's right image, the
  // right half its left image; both point into one block from array new that
  // the caller frees (steloxFreeMonoStereoPair with sharedBuffer set). An odd
  // last column is dropped. On failure the loader's code, or
  // SteloxErrorInvalidSourceResolution for fewer than 2 columns; the pair is
  // written only on success and nothing stays allocated otherwise.
  static SteloxError buildMonoStereoPair(const char* fileName, SteloxMonoStereoPair& pair);
  static SteloxError buildColorStereoPair(const char* fileName, SteloxColorPixelFormat format,
                                          SteloxColorStereoPair& pair);

  // ---- OpenCV matchers -------------------------------------------------
  // One block matcher and one semi-global matcher per context, made with the
  // context from its settings of that moment (OpenCVInit); later changes of
  // the context's own stereo settings do not reach them, only these setters.
  // A copy of a context gets matchers of its own with the same settings, so
  // that its settings change independently of the original's.
  //
  // A refused value leaves the matchers unchanged and prints one warning
  // line on the standard error stream. Setters without a rule set both
  // matchers; getters read the block matcher, except P1, P2 and the mode.
  SteloxError setOpenCVStereoMaskSize(int size);  // odd, 5 .. 255, below the output size
  int getOpenCVStereoMaskSize() const;
  SteloxError setOpenCVMinDisparity(int minimum);
  int getOpenCVMinDisparity() const;
  SteloxError setOpenCVNumDisparities(int count);  // positive multiple of 16
  int getOpenCVNumDisparities() const;
  // The number of disparities becomes maximum - current minimum.
  SteloxError setOpenCVMaxDisparity(int maximum);
  int getOpenCVMaxDisparity() const;
  SteloxError setOpenCVMinMaxDisparities(int minimum, int maximum);
  void getOpenCVMinMaxDisparities(int& minimum, int& maximum) const;
  SteloxError setOpenCVDisparityRange(int minimum, int count);
  void getOpenCVDisparityRange(int& minimum, int& count) const;
  SteloxError setOpenCVSpeckleWindowSize(int size);
  int getOpenCVSpeckleWindowSize() const;
  SteloxError setOpenCVSpeckleRange(int range);
  int getOpenCVSpeckleRange() const;
  SteloxError setOpenCVDisp12MaxDiff(int difference);
  int getOpenCVDisp12MaxDiff() const;
  // 0 x-Sobel, 1 normalised response (OpenCV numbers them the other way).
  SteloxError setOpenCVBMPreFilterType(int type);
  int getOpenCVBMPreFilterType() const;
  SteloxError setOpenCVBMPreFilterSize(int size);
  int getOpenCVBMPreFilterSize() const;
  SteloxError setOpenCVPreFilterCap(int cap);  // 1 .. 63
  int getOpenCVPreFilterCap() const;
  SteloxError setOpenCVBMTextureThreshold(int threshold);
  int getOpenCVBMTextureThreshold() const;
  SteloxError setOpenCVUniquenessRatio(int ratio);
  int getOpenCVUniquenessRatio() const;
  SteloxError setOpenCVSGBMP1(int p1);
  int getOpenCVSGBMP1() const;
  SteloxError setOpenCVSGBMP2(int p2);
  int getOpenCVSGBMP2() const;
  // 0 standard, 1 double pass, 2 three-way.
  SteloxError setOpenCVSGBMMode(int mode);
  int getOpenCVSGBMMode() const;
  // Puts the matcher of an OpenCV algorithm into the record; other
  // algorithms leave the record's matcher as it is.
  void selectOpenCVMatcher(Stelox::StereoParameters& record) const;

private:
  void OpenCVInit();
  void copyOpenCVMatchers(const SteloxMgr& other);
  bool acceptsOpenCVMask(int size) const;

  std::shared_ptr<cv::StereoBM> m_blockMatcher;
  std::shared_ptr<cv::StereoSGBM> m_semiGlobalMatcher;

private:
  friend class SteloxMgrLoader;

  // A library-owned, packed image: row increment = cols.
  template <typename T>
  struct OwnedImage {
    Image<T> image;
    std::unique_ptr<T[]> memory;
    bool external = false;  // the pixels are the caller's
  };

  template <typename T>
  static SteloxError ensureSize(OwnedImage<T>& owned, const ImageDim& size);
  template <typename T>
  static void copyOwned(OwnedImage<T>& to, const OwnedImage<T>& from);
  template <typename T>
  static SteloxError setBuffer(OwnedImage<T>& owned, T* buffer, const ImageDim& size);

  std::shared_ptr<Rectifier> getLensRectifier(int lens) const;
  void computeDerivedGeometry();
  // Region and source size from the right image of a pair (mono step 3).
  SteloxError takePairGeometry(int rightRows, int rightCols);
  SteloxError rectificationOffGeometry();
  ImageDim currentImageSize() const;
  // The rectifiers always warp the whole source frame. Outside
  // region-of-interest mode that frame is the rectified image; in the mode it
  // is the source frame scaled to the output, and the region's window of it
  // becomes the rectified image.
  ImageDim rectifierFrameSize() const;
  ImageROI windowInFrame() const;
  SteloxError rectifyLens(int lens);
  SteloxError rectifyColourLens(int lens);
  SteloxError ensureMonoImages();
  // Frame path per lens: the two lenses run at once on the stereo engine's
  // workers when they use separate rectifiers.
  bool lensesRunTogether() const;
  SteloxError forEachLens(bool together, const std::function<SteloxError(int)>& work);
  void makeEdgeImage(int lens);
  // Checks, geometry and the raw colour view of one camera of a colour pair
  // (everything before its rectification); lens receives the camera's lens.
  SteloxError prepareColourLens(SteloxCamera camera, const SteloxColorStereoPair& pair, int& lens);

  void writeSection1GeneralInfo(std::FILE* stream, bool& ok) const;
  void writeSection2StereoParams(std::FILE* stream) const;
  void writeSection3CameraInfo(std::FILE* stream) const;
  void writeSection4LensInfo(std::FILE* stream, bool& ok) const;
  void writeSection5WarpInfo(std::FILE* stream) const;
  void writeLine(std::FILE* stream, const char* token) const;

  // Identity.
  ConfigLines m_configLines;
  std::string m_versionText;
  std::string m_versionName;
  int m_versionMajor = 0;
  int m_versionMinor = 0;
  std::string m_releaseNotes;
  std::string m_productName;
  std::string m_partId;
  int m_serialNumber = 0;

  // Lens layout.
  int m_lensLayoutKind = 0;
  SteloxCameraConfiguration m_cameraConfig = SteloxCameraConfigurationNarrow;
  int m_numberOfLenses = 0;
  std::vector<SteloxCamera> m_lensContainer;
  int m_lensToRectifier[kLensCount] = {InvalidLensIndex, InvalidLensIndex};

  std::shared_ptr<SteloxRectifyMgr> m_rectifyMgr;
  std::shared_ptr<StereoProcessMgr> m_stereoMgr;

  // Geometry: normalised as in the calibration, then derived in pixels.
  double m_focalLengthX = 1.0;
  double m_focalLengthY = 1.0;
  double m_imageCenterX = 0.5;
  double m_imageCenterY = 0.5;
  double m_baseline = 0.0;
  double m_focalLength = 1.0;
  double m_imageCenterCol = 320.0;
  double m_imageCenterRow = 240.0;

  // Validation and stereo settings.
  bool m_textureValidOn = true;
  double m_textureThreshold = 0.5;
  unsigned char m_textureMapping = 255;
  bool m_backForthValidOn = false;
  unsigned char m_backForthMapping = 251;
  bool m_surfaceValidOn = true;
  int m_surfaceSize = 200;
  double m_surfaceDifference = 1.0;
  unsigned char m_surfaceMapping = 252;
  bool m_subpixelOn = true;
  bool m_strictSubpixelOn = false;
  unsigned char m_subpixelMapping = 253;
  int m_stereoMaskSize = 7;
  int m_edgeMaskSize = 7;
  bool m_edgeCorrelationOn = true;
  bool m_doStereoOn = true;
  bool m_rectifyOn = true;
  bool m_lowpassOn = true;
  int m_minDisparity = 0;
  int m_maxDisparity = 32;
  SteloxStereoAlgorithm m_stereoAlgorithm = SteloxStereoAlgorithmCorrelation;
  // Constants of every context, handed to the rectifiers.
  int m_kernelType = 0;
  int m_kernelParameter = 5;
  int m_rowShiftPercent = 0;
  int m_colShiftPercent = 0;

  // Output geometry.
  int m_outputRows = 0;
  int m_outputCols = 0;
  int m_rectifiedRows = 0;
  int m_rectifiedCols = 0;
  int m_offsetRow = 0;
  int m_offsetCol = 0;
  int m_sourceRows = 0;
  int m_sourceCols = 0;
  ImageROI m_calibratedRoi = {0, 0, 0, 0};
  bool m_calibratedRoiOn = false;
  SteloxROI m_roi = {0, 0, 0, 0};
  bool m_roiOn = false;
  float m_scale = 1.0f;

  // Images of the last frame, per lens (0 right, 1 left).
  Image<Pixel8x4> m_rawColour[kLensCount];
  Image<unsigned char> m_rawMono[kLensCount];
  OwnedImage<unsigned char> m_rectified[kLensCount];
  OwnedImage<unsigned char> m_edge[kLensCount];
  Image<unsigned char> m_stereoInput[kLensCount];
  OwnedImage<Pixel8x4> m_rectifiedColour[kLensCount];
  Image<unsigned short> m_disparity;
  Image<unsigned int> m_surfaceMap;

  Stelox::PreprocessParameters m_preprocessParameters;
  Stelox::StereoParameters m_stereoParameters;

  // ---- 3D conversion and world transform --------------------------------
  // Positions are in pixels of the output image (the window that
  // getImage16 hands out); points are in the baseline's unit, camera frame
  // x right, y down, z forward. Outputs are written only on success.
public:
  // 9 for a position outside the output, 12 for a disparity not above 0.
  SteloxError RCDFloatToXYZ(float row, float col, float disparity, float& x, float& y, float& z) const;
  SteloxError RCDToXYZ(float row, float col, float disparity, float& x, float& y, float& z) const;
  // disparity16 / 16 pixels; invalid codes are not recognised here.
  SteloxError RCD16ToXYZ(int row, int col, unsigned short disparity16, float& x, float& y, float& z) const;
  // 13 for z not above 0; the position is not checked against the output.
  SteloxError XYZToRCD(float x, float y, float z, float& row, float& col, float& disparity) const;
  SteloxError RCDFloatToWorldXYZ(float row, float col, float disparity, float& x, float& y, float& z) const;
  SteloxError RCDToWorldXYZ(float row, float col, float disparity, float& x, float& y, float& z) const;
  SteloxError RCD16ToWorldXYZ(int row, int col, unsigned short disparity16, float& x, float& y, float& z) const;
  SteloxError WorldXYZToRCD(float x, float y, float z, float& row, float& col, float& disparity) const;
  // The image centre in output pixels.
  void getImageCenter(float& row, float& col) const;

  // 48 when a rotation row is all zero, 5 when m33 is 0; otherwise the
  // rotation is taken as given, the translation divided by m33.
  SteloxError setSteloxToWorldTransform(const SteloxTransform& transform);
  void getSteloxToWorldTransform(SteloxTransform& transform) const;

  // A 3D image of the rectified size, owned by the caller until
  // destroyImage3d; 40 when it cannot be allocated, 8 without a resolution.
  SteloxError createImage3d(SteloxImage3d*& image) const;
  static void destroyImage3d(SteloxImage3d*& image);
  // Every pixel of the disparity image as a point (camera or world frame);
  // (0, 0, 0) where the disparity is 0 or an invalid code.
  SteloxError internalExtractImage3d(SteloxImage3d& image, bool world) const;

  // Transform files; 35 when the file cannot be opened, or a key or value is
  // missing or corrupt (the matrix is then unchanged).
  static SteloxError getTransformFromFile(const char* fileName, SteloxTransform& transform);
  static SteloxError writeTransformToFile(const char* fileName, const SteloxTransform& transform);

private:
  // Offset of the output window inside the rectified image.
  ImageDim outputWindowOffset() const;

  // The world transform as set (rotation possibly not proper) and the rigid
  // inverse of its derived parameters.
  ZorTransform3d m_worldTransform;
  ZorTransform3d m_worldInverse;
};

#endif
