/*
 * ZorGeometry.h - the whole geometry toolkit: points, vectors, planes, rigid
 * transforms, lists, point clouds, the nearest-point search tree and the
 * linear algebra functions.
 */
#ifndef ZOR_GEOMETRY_H
#define ZOR_GEOMETRY_H

#include "ZorBSP.h"
#include "ZorLinearAlgebra.h"
#include "ZorList.h"
#include "ZorPlane.h"
#include "ZorPoint.h"
#include "ZorPointCloud3d.h"
#include "ZorTransform3d.h"
#include "ZorVector.h"

#endif
