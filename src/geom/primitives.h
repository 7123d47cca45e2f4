// Geometry primitives on TAcadPoint with the program's fixed tolerances.
//
// Angles are radians counter-clockwise from +x, in [0, 2*pi) where a function returns one.
// Everything works in plan unless stated: z is carried along but ignored by distances,
// angles and tests. Points coincide when both plan differences are below 1e-5; collinear
// means within 0.01 of the line; lines are parallel when the cross denominator is <= 1e-12.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "geom/records.h"

namespace zuka {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kHalfPi = 1.5707963267948966;
inline constexpr double kThreeHalfPi = 4.71238898038469;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kSamePointTol = 1e-5;
inline constexpr double kCollinearTol = 0.01;
inline constexpr double kParallelTol = 1e-12;
inline constexpr double kRadToDeg = 57.29577951308232;

// Construction and conversion.
TAcadPoint SetAcadPoint(double x, double y, double z);
TAcadPoint AddVec(TAcadPoint a, TAcadPoint b);
TAcadPoint ScaleVec(TAcadPoint v, double s);
TAcadPoint MulVec(TAcadPoint a, TAcadPoint b);
TAcadPoint CrossVec(TAcadPoint a, TAcadPoint b);
// v / |v| (3D length); the zero vector comes back unchanged.
TAcadPoint NormalizeVec(TAcadPoint v);
// Rotation about the origin by t clockwise: (x cos t + y sin t, -x sin t + y cos t, z).
TAcadPoint RotatePoint(TAcadPoint p, double t);
// x + 0.5 truncated for x >= 0, x - 0.5 truncated for x < 0.
long long RoundHalfAway(double x);

// Measures.
double Dist2D(TAcadPoint p, TAcadPoint q);
// Plan distance from p to the segment a-b (to a when the segment has no length).
double DistToSegment2D(TAcadPoint p, TAcadPoint a, TAcadPoint b);
// Direction from p to q in [0, 2*pi). The x test comes first: |dx| < 1e-5 gives pi/2 when
// p.y < q.y, else 3*pi/2 (so two coincident points give 3*pi/2).
double Angle2P(TAcadPoint p, TAcadPoint q);
// swap false: the counter-clockwise turn at b from the ray towards a to the ray towards c;
// swap true: the opposite difference. In [0, 2*pi).
double TurnAngle(TAcadPoint a, TAcadPoint b, TAcadPoint c, bool swap);
// base + d*(cos a, sin a) with z = base.z; the four axis directions 0, pi/2, pi and 3*pi/2
// (exactly those doubles) are exact. d may be negative.
TAcadPoint PolarPoint(TAcadPoint base, double a, double d);

// Tests.
// Strict: |dx| < tol and |dy| < tol.
bool SamePoint2D(TAcadPoint p, TAcadPoint q, double tol);
bool SamePoint3D(TAcadPoint p, TAcadPoint q, double tol);
// a lies on the segment b-c: |Dist2D(b,c) - Dist2D(a,b) - Dist2D(a,c)| < 1e-5.
bool IsOnSegment(TAcadPoint a, TAcadPoint b, TAcadPoint c);
// b and c lie within 0.01 of the infinite line through p towards a (b tested first).
bool IsOnLine2(TAcadPoint p, TAcadPoint a, TAcadPoint b, TAcadPoint c);

// Intersection of the lines p1-p2 and p3-p4 in plan, z = p1.z. With segment true the point
// must satisfy 1e-12 <= t <= 1 on both segments: a touch at either start does not count, a
// touch at an end does. Parallel or collinear lines are never found.
bool CrossPoint(TAcadPoint p1, TAcadPoint p2, TAcadPoint p3, TAcadPoint p4, bool segment,
                TAcadPoint& out);
// The two of four points farthest apart; pairs in the order (0,1),(0,2),(0,3),(1,2),(1,3),
// (2,3), a later pair wins only when strictly farther. When all four coincide u and v are
// left as passed.
void FarthestPair(TAcadPoint p0, TAcadPoint p1, TAcadPoint p2, TAcadPoint p3, TAcadPoint& u,
                  TAcadPoint& v);

struct TArcGeom {
    TAcadPoint center;
    double radius = 0;
    double start = 0;  // radians; the arc always runs counter-clockwise from start to end
    double end = 0;
};
// The circular arc of a polyline segment p-q with a non-zero bulge.
TArcGeom BulgeToArc(TAcadPoint p, TAcadPoint q, double bulge);

// The DXF arbitrary-axis algorithm: object coordinates v with normal n to world coordinates.
TAcadPoint OcsToWcs(TAcadPoint v, TAcadPoint n);

// Two or three comma-separated numbers with a point as decimal separator, optionally in
// double quotes. Values converted before an error stay in the outputs.
bool StrToXYZ(std::string_view text, double& x, double& y, double& z);
bool StrToAcadPoint(std::string_view text, TAcadPoint& p);

// q inside or on the boundary of the closed figure formed by the unordered segments.
// span is a length scale far above the figure's size (callers pass MaxSpan * 1000).
bool IsInsideLines(TAcadPoint q, double span, const std::vector<TLineEnt>& lines);
// The two halves of IsInsideLines, for callers that look only at the segments a ray can meet.
// The ray direction from q: the first of the 720 directions k * pi / 360 that passes within
// 1e-5 radians of no end point; 2 * pi when every one does.
double InsideRayDirection(TAcadPoint q, const std::vector<TLineEnt>& lines);
// The test along the ray from q to r over lines[pick[0]], ..., lines[pick[count - 1]] in that
// order (over lines[0 .. count) when pick is null): q on a segment, or an odd number of
// distinct crossings.
bool IsInsideAlongRay(TAcadPoint q, TAcadPoint r, const std::vector<TLineEnt>& lines,
                      const std::uint32_t* pick, std::size_t count);

// The area of the closed polygon through pts in plan (shoelace), positive when the points run
// counter-clockwise.
double SignedArea(const std::vector<TAcadPoint>& pts);

}  // namespace zuka
