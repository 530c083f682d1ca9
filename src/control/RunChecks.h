#pragma once
// What a run is refused for before it starts, beyond the grid (checked at load): values
// that are physically odd but computable run; values whose derived quantities leave the
// range of doubles would turn into NaN, Inf or an all-zero field reported as a result,
// so they are refused with a text naming the section, key and value.
//
// With k0 = 2 pi / lambda (metres), n over every index a layer declares (and vacuum),
// P = nx * ny points and A the sum of the waves' |amplitude|:
//   (k0 n_max)^2 and k0 n_max L (L the largest extent or shift) must be finite, and
//   (k0 n_min)^2 a normal double: the plane-wave rules square and multiply these;
//   A^2 n_max P must be finite: the intensity totals sum |E|^2 n over the points;
//   a non-zero |amplitude|^2 n_min must be a normal double, or the maps are all zero;
//   Re n > 0 for every declared index; a negative kappa is gain, run with a warning.
#include "config/Configuration.h"
#include "numerics/ComplexArray.h"

#include <string>
#include <vector>

namespace ksn {

class TField;

// The refusals of the records: the unit, the waves' derived quantities, the beams'
// set-up and the layers' indices. `waves` and `layers` are the values the run will use
// (a variation series changes them between runs). Empty when the run may start.
std::vector<std::string> PhysicsFaults(const TGlobalParms& global, const TGridParms& grid,
    const TFieldOptionsArr& waves, const TLayerParmsVec& layers);

// "" or why the incident field cannot be propagated: a value that is not finite, or a
// field that is zero at every point although a wave's amplitude is not (a Gaussian
// shifted out of the window, a width that no grid point resolves).
std::string IncidentFieldFault(TField& incident, const TFieldOptionsArr& waves);

// One line per layer whose kappa is negative: such a layer amplifies the field.
std::vector<std::string> GainWarnings(const TLayerParmsVec& layers);

// "" or why index level iz cannot be propagated through: a value that is not finite
// or whose real part is not positive (a graded profile that crosses zero).
std::string LevelFault(const TComplexArray& level, int iz);

} // namespace ksn
